#pragma once

namespace fr {

// The shared job controls of the copy, whole-medium and disk-image pages, as the rest of the
// program sees them: whether a job runs (its start button is disabled), and the actions of
// the pause and stop buttons.
class JobControl {
public:
    virtual ~JobControl() = default;

    virtual bool jobRunning() const = 0;
    // The pause button's action: pauses a running job, resumes a paused one.
    virtual void togglePause() = 0;
    // The stop button's action: stops the job and journals an unfinished copy where the page
    // does so, both at once; the commands come back when the job's worker has ended.
    virtual void stopJob() = 0;
};

} // namespace fr
