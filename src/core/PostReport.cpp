#include "core/PostReport.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace fr {

void postReport(const PostToMainThread& post, std::function<void()> work) {
    if (post) {
        post(std::move(work));
    } else if (QCoreApplication* application = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
    } else {
        work();
    }
}

} // namespace fr
