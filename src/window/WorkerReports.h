#pragma once

#include "core/PostReport.h"

#include <QObject>
#include <functional>

namespace fr {

// Where a window's worker sends its reports. Each job gets a post that queues on the receiver
// (so the work runs on the main thread, and is dropped should the receiver be gone) and a test
// whether a report is still for the job now running: a retired worker's late report is not.
class WorkerReports {
public:
    explicit WorkerReports(QObject& receiver) : receiver_(receiver) {}

    struct Job {
        PostToMainThread post;
        std::function<bool()> current;
    };
    // A new job; every earlier one is retired.
    Job newJob() {
        const int generation = ++generation_;
        return {[receiver = &receiver_](std::function<void()> work) {
                    QMetaObject::invokeMethod(receiver, std::move(work), Qt::QueuedConnection);
                },
                [this, generation] {
                    return generation == generation_;
                }};
    }

private:
    QObject& receiver_;
    int generation_ = 0;
};

} // namespace fr
