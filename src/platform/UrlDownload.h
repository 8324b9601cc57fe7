#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QSaveFile;

namespace fr {

// Fetches a URL into a file while the event loop goes on. The file appears only when the
// whole answer has arrived: a download that fails or stops midway leaves the file as it was
// (absent, or its earlier contents), never a partial one.
class UrlDownload : public QObject {
    Q_OBJECT
public:
    // extraAuthorities are trusted beside the system's certificate authorities.
    explicit UrlDownload(QList<QSslCertificate> extraAuthorities = {}, QObject* parent = nullptr);
    ~UrlDownload() override;

    // Starts fetching; finished follows exactly once. A download already running is abandoned.
    void start(const QUrl& url, const QString& file);

signals:
    // error is empty on success, else names the address or the file and the reason.
    void finished(const QString& error);

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString& error);

    QList<QSslCertificate> extraAuthorities_;
    QNetworkAccessManager* network_;
    QNetworkReply* reply_ = nullptr;
    QSaveFile* file_ = nullptr;
    QString writeError_;
};

} // namespace fr
