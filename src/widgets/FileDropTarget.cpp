#include "widgets/FileDropTarget.h"

#include "platform/FileName.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace fr {

namespace {

QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        // The escapes of a file URL are the name's bytes, which need not be UTF-8: decoded as
        // text they would name another file.
        const QString path = fileNameFromBytes(
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
        if (url.isLocalFile() && !path.isEmpty())
            paths << path;
    }
    return paths;
}

} // namespace

FileDropTarget::FileDropTarget(QWidget* target) : QObject(target), target_(target) {
    if (target_ != nullptr) {
        target_->installEventFilter(this);
        target_->setAcceptDrops(false);
    }
}

void FileDropTarget::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (target_ != nullptr)
        target_->setAcceptDrops(enabled);
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    if (watched != target_ || !enabled_)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (localFiles(drag->mimeData()).isEmpty()) {
            drag->ignore();
        } else {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = localFiles(drop->mimeData());
        if (paths.isEmpty()) {
            drop->ignore();
            return true;
        }
        // The files are only read from, never moved: the source stays where it is.
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        emit dropped(paths);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace fr
