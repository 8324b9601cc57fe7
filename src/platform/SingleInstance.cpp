#include "platform/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fr {

namespace {

const QByteArray kHandOffRequest = QByteArray(SingleInstance::kHandOffName) + '\n';
const QByteArray kHandOffAnswer = "0\n";

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

SingleInstance::SingleInstance(QString runtimeDir, QObject* parent)
    : QObject(parent), runtimeDir_(std::move(runtimeDir)) {}

SingleInstance::~SingleInstance() {
    stopListening();
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

QString SingleInstance::lockPath() const {
    return runtimeDir_ + '/' + QLatin1String(kLockName) + QLatin1String(".lock");
}

QString SingleInstance::socketPath() const {
    return runtimeDir_ + '/' + QLatin1String(kHandOffName);
}

SingleInstance::LockResult SingleInstance::acquire(QString* error) {
    if (lockFd_ >= 0)
        return LockResult::Acquired;
    if (runtimeDir_.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no private runtime folder for the lock");
        return LockResult::Unavailable;
    }
    // Close-on-exec: a program we start (the media manager) must not inherit the lock and
    // keep it after we are gone.
    const QByteArray path = QFile::encodeName(lockPath());
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = lockPath() + QStringLiteral(": ") + systemError();
        return LockResult::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int reason = errno;
        ::close(fd);
        if (reason == EWOULDBLOCK)
            return LockResult::HeldByAnotherCopy;
        errno = reason;
        if (error)
            *error = lockPath() + QStringLiteral(": ") + systemError();
        return LockResult::Unavailable;
    }
    lockFd_ = fd;
    return LockResult::Acquired;
}

bool SingleInstance::listen(QString* error) {
    if (server_)
        return true;
    if (runtimeDir_.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is no private runtime folder for the hand-off socket");
        return false;
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a copy that was killed would refuse the address. Only the holder
    // of the lock may clear it: no live copy can be listening on it then.
    if (lockFd_ >= 0)
        QLocalServer::removeServer(socketPath());
    if (!server_->listen(socketPath())) {
        if (error)
            *error = socketPath() + QStringLiteral(": ") + server_->errorString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

void SingleInstance::stopListening() {
    if (!server_)
        return;
    server_->close();
    delete server_;
    server_ = nullptr;
}

bool SingleInstance::isListening() const {
    return server_ && server_->isListening();
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            // Only the hand-off itself counts; anything else is not from a copy of ours.
            if (socket->readLine() == kHandOffRequest) {
                emit handOffReceived();
                socket->write(kHandOffAnswer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::sendHandOff(const QString& runtimeDir, int timeoutMs, QString* error) {
    const QString path = runtimeDir + '/' + QLatin1String(kHandOffName);
    const QDeadlineTimer deadline(timeoutMs);
    QString lastError;
    const auto remaining = [&deadline] {
        return static_cast<int>(std::max<qint64>(1, deadline.remainingTime()));
    };
    // The running copy may hold the lock but not yet listen: it starts listening while its
    // main window is being set up.
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(remaining())) {
            socket.write(kHandOffRequest);
            if (!socket.waitForBytesWritten(remaining())) {
                lastError = socket.errorString();
                break;
            }
            while (!socket.canReadLine() && socket.waitForReadyRead(remaining())) {
            }
            if (socket.canReadLine() && socket.readLine() == kHandOffAnswer)
                return true;
            lastError = QStringLiteral("the running copy did not answer");
            break;
        }
        lastError = socket.errorString();
        QThread::msleep(50);
    }
    if (error)
        *error = path + QStringLiteral(": ") + lastError;
    return false;
}

QString defaultRuntimeDir(QString* error) {
    const QByteArray fromSession = qgetenv("XDG_RUNTIME_DIR");
    if (!fromSession.isEmpty() && QDir(QFile::decodeName(fromSession)).exists())
        return QFile::decodeName(fromSession);

    // No session folder (a root shell without a login session, for instance): use a private
    // folder of our own, and trust it only when it is ours and nobody else can enter it.
    const QString path =
        QDir::tempPath() + QStringLiteral("/fragmentrove-") + QString::number(getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = path + QStringLiteral(": ") + systemError();
        return {};
    }
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != getuid() || (info.st_mode & 0077) != 0) {
        if (error)
            *error = path + QStringLiteral(": not a private folder of this user");
        return {};
    }
    return path;
}

} // namespace fr
