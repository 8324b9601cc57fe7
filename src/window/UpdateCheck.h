#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QUrl>
#include <functional>

namespace fr {

class UrlDownload;
struct ProgramContext;

// Looks for a newer version of the program when the window is first shown: fetches the
// server's version file, and when it announces the newer version, offers to download and
// start its installer. Every download runs while the window goes on working; only the
// question waits for the user.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    // Where the version file and the installer are published, and whom to trust for it.
    struct Server {
        QUrl base;
        QList<QSslCertificate> extraAuthorities;
        // The maker's server, or the one FRAGMENTROVE_UPDATE_SERVER names (an address such
        // as "https://host:port"), trusting beside the system's authorities those in the
        // file FRAGMENTROVE_UPDATE_CA names: a test or a company mirror runs its own.
        static Server fromEnvironment();
    };
    using Connected = std::function<bool()>;

    UpdateCheck(ProgramContext& context, Server server, Connected connected,
                QObject* parent = nullptr);
    ~UpdateCheck() override;

    void checkUpdate();

signals:
    // The check has come to its end, whatever the end was (for tests and for quitting).
    void done();

private:
    void startDownload(void (UpdateCheck::*arrived)(const QString&));
    void versionFileArrived(const QString& error);
    void installerArrived(const QString& error);

    ProgramContext& context_;
    Server server_;
    Connected connected_;
    UrlDownload* download_ = nullptr;
};

} // namespace fr
