#pragma once

#include "core/RescueMap.h"

#include <QColor>
#include <QWidget>

namespace fr {

// A file or a medium drawn as one strip from its first byte on the left to its last on the
// right: what was read, what could not be read, what the job did not reach. Every unreadable
// area gets at least a pixel, so a single bad sector of a large disk still shows.
class AreaStrip : public QWidget {
    Q_OBJECT
public:
    explicit AreaStrip(QWidget* parent = nullptr);

    void setMap(const RescueMap& map);
    const RescueMap& map() const { return map_; }

    static QColor colourOf(RescueMap::Status status);
    // The pixel columns [first, last) of the strip's inner width `width` that show a block.
    static std::pair<int, int> columnsOf(const ByteRange& range, std::int64_t size, int width);

    QSize sizeHint() const override { return {340, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RescueMap map_;
};

} // namespace fr
