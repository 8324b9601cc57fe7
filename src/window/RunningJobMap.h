#pragma once

#include "core/RescueMap.h"
#include "window/AreaMapWindow.h"

#include <QObject>
#include <cstdint>
#include <optional>

namespace fr {

class TForm1;
struct ProgramContext;

// The map of the job a page is running, as the user can watch it: a click on the progress
// gauge opens the map window with the map as it stands, which then follows the job's reports
// until it ends and shows its final map. The page's layout is fixed, so the gauge is the way
// in. A job that reports no map gets the one its page builds at the end.
class RunningJobMap : public QObject {
    Q_OBJECT
public:
    RunningJobMap(TForm1& form, const ProgramContext& context);

    // A job starts: how the window names it and which files its map is never saved over.
    // `job.map` is what is shown until the job reports one (its size, all untried).
    void start(const AreaMapWindow::Job& job);
    // The job's report of its whole map and whether it is reading around damaged places.
    void report(const RescueMap& map, bool damagedArea);
    // The job is over. Its final map is the last one it reported, else `runMap`; the window
    // shows it when the user is watching the job or when there are unreadable areas (this
    // run's `runUnreadable`, or earlier runs' in the reported map).
    void end(const RescueMap& runMap, bool runUnreadable);

    bool running() const { return running_; }
    // What the job said last about damaged places; none while it has said nothing.
    std::optional<bool> damagedArea() const { return damagedArea_; }
    // The bytes of the source the job has settled (read or found unreadable): from its map
    // once it reported one, as a job that reads good stretches first is not done up to a
    // position; else `byPosition`.
    std::int64_t settledBytes(std::int64_t byPosition) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The window beside the owner with the map as it stands, following the job from now on.
    void openWindow();
    // The owner's map window while the user watches this job in it.
    AreaMapWindow* watchingWindow() const;

    TForm1& form_;
    const ProgramContext& context_;
    AreaMapWindow::Job job_;
    bool running_ = false;
    bool reported_ = false;
    bool following_ = false;
    std::optional<bool> damagedArea_;
};

} // namespace fr
