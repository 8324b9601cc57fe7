#include "window/RunningJobMap.h"

#include "core/ProgramContext.h"
#include "widgets/PieGauge.h"
#include "window/TForm1.h"

#include <QMouseEvent>

namespace fr {

RunningJobMap::RunningJobMap(TForm1& form, const ProgramContext& context)
    : form_(form), context_(context) {
    form_.Gauge1->installEventFilter(this);
}

void RunningJobMap::start(const AreaMapWindow::Job& job) {
    job_ = job;
    running_ = true;
    reported_ = false;
    following_ = false;
    damagedArea_.reset();
    // The gauge says what a click on it shows: the window's own caption.
    form_.Gauge1->setToolTip(context_.text(253));
    form_.Gauge1->setCursor(Qt::PointingHandCursor);
}

void RunningJobMap::report(const RescueMap& map, bool damagedArea) {
    if (!running_)
        return;
    job_.map = map;
    reported_ = true;
    damagedArea_ = damagedArea;
    if (AreaMapWindow* window = watchingWindow())
        window->setMap(map);
}

void RunningJobMap::end(const RescueMap& runMap, bool runUnreadable) {
    if (!running_)
        return;
    running_ = false;
    form_.Gauge1->setToolTip(QString());
    form_.Gauge1->unsetCursor();
    if (!reported_)
        job_.map = runMap;
    if (AreaMapWindow* window = watchingWindow())
        window->setMap(job_.map);
    else if (runUnreadable || !job_.map.unreadable.empty())
        AreaMapWindow::show(form_, context_, job_);
    following_ = false;
}

std::int64_t RunningJobMap::settledBytes(std::int64_t byPosition) const {
    if (!reported_)
        return byPosition;
    return job_.map.size - job_.map.untried.totalBytes();
}

bool RunningJobMap::eventFilter(QObject* watched, QEvent* event) {
    if (watched != form_.Gauge1 || !running_)
        return QObject::eventFilter(watched, event);
    const auto type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (type == QEvent::MouseButtonRelease &&
            form_.Gauge1->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            openWindow();
        // The click is the gauge's: it neither drags nor clicks the window behind it.
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void RunningJobMap::openWindow() {
    AreaMapWindow::show(form_, context_, job_);
    following_ = true;
}

AreaMapWindow* RunningJobMap::watchingWindow() const {
    if (!following_)
        return nullptr;
    auto* window = form_.findChild<AreaMapWindow*>(QString(), Qt::FindDirectChildrenOnly);
    return window && window->isVisible() ? window : nullptr;
}

} // namespace fr
