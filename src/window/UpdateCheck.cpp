#include "window/UpdateCheck.h"

#include "core/ProgramContext.h"
#include "platform/FileAttributes.h"
#include "platform/Platform.h"
#include "platform/Prompts.h"
#include "platform/UrlDownload.h"

#include <QFile>

namespace fr {

namespace {

// The version the server announces when there is something newer than this program.
constexpr QLatin1StringView kNewerVersion("3.2");
const QString kVersionPath = QStringLiteral("/fr3_key");
const QString kInstallerPath = QStringLiteral("/download/fr3_sk.exe");

QUrl at(QUrl base, const QString& path) {
    base.setPath(path);
    return base;
}

// The first line of a text file, without its line end (LF, CR LF or a lone CR).
QString firstLine(QFile& file, QString* error) {
    QByteArray line;
    char c = 0;
    while (file.getChar(&c) && c != '\n' && c != '\r')
        line += c;
    if (file.error() != QFileDevice::NoError)
        *error = file.fileName() + QStringLiteral(": ") + file.errorString();
    return QString::fromUtf8(line);
}

} // namespace

UpdateCheck::Server UpdateCheck::Server::fromEnvironment() {
    Server server;
    const QString base = qEnvironmentVariable("FRAGMENTROVE_UPDATE_SERVER");
    server.base = QUrl(base.isEmpty() ? QStringLiteral("https://update.fragmentrove.org") : base);
    const QString authorities = qEnvironmentVariable("FRAGMENTROVE_UPDATE_CA");
    if (!authorities.isEmpty())
        server.extraAuthorities = QSslCertificate::fromPath(authorities);
    return server;
}

UpdateCheck::UpdateCheck(ProgramContext& context, Server server, Connected connected,
                         QObject* parent)
    : QObject(parent), context_(context), server_(std::move(server)),
      connected_(std::move(connected)) {}

UpdateCheck::~UpdateCheck() = default;

void UpdateCheck::checkUpdate() {
    if (!connected_()) {
        emit done();
        return;
    }
    startDownload(&UpdateCheck::versionFileArrived);
    download_->start(at(server_.base, kVersionPath), context_.file(QStringLiteral("temp")));
}

void UpdateCheck::startDownload(void (UpdateCheck::*arrived)(const QString&)) {
    // The previous download may be the one whose report is being handled just now.
    if (download_)
        download_->deleteLater();
    download_ = new UrlDownload(server_.extraAuthorities, this);
    connect(download_, &UrlDownload::finished, this, arrived);
}

void UpdateCheck::versionFileArrived(const QString& error) {
    // An unreachable server or a missing version file is no news for the user.
    if (!error.isEmpty()) {
        emit done();
        return;
    }
    const QString path = context_.file(QStringLiteral("temp"));
    QString readError;
    resetEX(path, &readError);
    QFile file(path);
    QString line;
    if (readError.isEmpty() && !file.open(QIODevice::ReadOnly))
        readError = path + QStringLiteral(": ") + file.errorString();
    if (readError.isEmpty())
        line = firstLine(file, &readError);
    file.close();
    if (!readError.isEmpty()) {
        context_.prompts.error(readError);
        emit done();
        return;
    }
    // Exactly this line: "3.2 " or "3.20" announce nothing.
    if (line != kNewerVersion || !context_.prompts.confirm(context_.text(211))) {
        emit done();
        return;
    }
    startDownload(&UpdateCheck::installerArrived);
    download_->start(at(server_.base, kInstallerPath),
                     context_.file(QStringLiteral("install.exe")));
}

void UpdateCheck::installerArrived(const QString& error) {
    const QString installer = context_.file(QStringLiteral("install.exe"));
    if (!error.isEmpty()) {
        context_.prompts.information(context_.text(212)); // the installer could not be fetched
        emit done();
        return;
    }
    // A downloaded file arrives without the right to run; the installer is a program.
    QFile::setPermissions(installer, QFile::permissions(installer) | QFileDevice::ExeOwner);
    context_.platform.runFile(installer, false);
    emit done();
}

} // namespace fr
