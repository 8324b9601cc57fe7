#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace fr {

// Keeps a second copy of the program from running. The first copy holds the per-user lock
// "Fragmentrove 3" and listens on the local socket "NaseAplikace"; a second copy finds the
// lock taken, tells the first to come forward, and ends. The lock is an flock, so the
// kernel drops it with the process: a copy that was killed never blocks the next start.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kLockName = "Fragmentrove 3";
    static constexpr const char* kHandOffName = "NaseAplikace";

    // runtimeDir is the per-user folder that holds the lock file and the socket.
    explicit SingleInstance(QString runtimeDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class LockResult { Acquired, HeldByAnotherCopy, Unavailable };
    // Takes the lock. Unavailable means the lock file could not be made at all; error then
    // says why (the program can still run, only without the guard).
    LockResult acquire(QString* error = nullptr);

    // The running copy's half of the hand-off: from now on every hand-off received emits
    // handOffReceived before it is acknowledged.
    bool listen(QString* error = nullptr);
    void stopListening();
    bool isListening() const;

    // The starting copy's half: asks the copy that holds the lock to come forward and waits
    // until it has (or until timeoutMs passes, since the running copy may still be starting).
    static bool sendHandOff(const QString& runtimeDir, int timeoutMs, QString* error = nullptr);

    QString lockPath() const;
    QString socketPath() const;

signals:
    void handOffReceived();

private:
    void onNewConnection();

    QString runtimeDir_;
    int lockFd_ = -1;
    QLocalServer* server_ = nullptr;
};

// The per-user runtime folder: $XDG_RUNTIME_DIR, or a private folder of this user under the
// temporary directory when the session has none. Empty (with error set) when neither is safe.
QString defaultRuntimeDir(QString* error = nullptr);

} // namespace fr
