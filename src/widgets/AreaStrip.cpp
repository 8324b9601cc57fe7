#include "widgets/AreaStrip.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace fr {

AreaStrip::AreaStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("AreaStrip"));
}

void AreaStrip::setMap(const RescueMap& map) {
    map_ = map;
    update();
}

QColor AreaStrip::colourOf(RescueMap::Status status) {
    switch (status) {
    case RescueMap::Status::Rescued:
        return QColor(0x3d, 0x7e, 0xd6);
    case RescueMap::Status::Unreadable:
        return QColor(0xd6, 0x2f, 0x2f);
    case RescueMap::Status::Untried:
        break;
    }
    return QColor(0xc8, 0xc8, 0xc8);
}

std::pair<int, int> AreaStrip::columnsOf(const ByteRange& range, std::int64_t size, int width) {
    if (size <= 0 || width <= 0)
        return {0, 0};
    const double scale = static_cast<double>(width) / static_cast<double>(size);
    const int first = std::clamp(static_cast<int>(std::floor(range.start * scale)), 0, width - 1);
    const int last = std::clamp(static_cast<int>(std::ceil(range.end * scale)), first + 1, width);
    return {first, last};
}

void AreaStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(rect(), palette().color(QPalette::WindowText));
    painter.fillRect(inner, colourOf(RescueMap::Status::Untried));
    const std::vector<RescueMap::Block> blocks = map_.blocks();
    // Unreadable areas last, so a read neighbour never paints over the one pixel they get.
    for (const RescueMap::Status status :
         {RescueMap::Status::Rescued, RescueMap::Status::Untried, RescueMap::Status::Unreadable}) {
        for (const RescueMap::Block& block : blocks) {
            if (block.status != status)
                continue;
            const auto [first, last] = columnsOf(block.range, map_.size, inner.width());
            painter.fillRect(QRect(inner.left() + first, inner.top(), last - first, inner.height()),
                             colourOf(status));
        }
    }
}

} // namespace fr
