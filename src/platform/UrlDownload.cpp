#include "platform/UrlDownload.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslConfiguration>

namespace fr {

UrlDownload::UrlDownload(QList<QSslCertificate> extraAuthorities, QObject* parent)
    : QObject(parent), extraAuthorities_(std::move(extraAuthorities)),
      network_(new QNetworkAccessManager(this)) {}

UrlDownload::~UrlDownload() {
    // An abandoned download never commits: the save file drops what it wrote.
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
    delete file_;
}

void UrlDownload::start(const QUrl& url, const QString& file) {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
        reply_ = nullptr;
    }
    delete file_;
    writeError_.clear();
    file_ = new QSaveFile(file);
    if (!file_->open(QIODevice::WriteOnly)) {
        const QString error = file + QStringLiteral(": ") + file_->errorString();
        // Reported from the event loop, as every other outcome is, so that a caller may
        // connect after start.
        QMetaObject::invokeMethod(
            this, [this, error] { fail(error); }, Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request(url);
    // A redirect may move within the address's own security, never from https to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    if (!extraAuthorities_.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(extraAuthorities_);
        request.setSslConfiguration(tls);
    }
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &UrlDownload::onReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &UrlDownload::onFinished);
}

void UrlDownload::onReadyRead() {
    const QByteArray chunk = reply_->readAll();
    if (writeError_.isEmpty() && file_->write(chunk) != chunk.size())
        writeError_ = file_->fileName() + QStringLiteral(": ") + file_->errorString();
}

void UrlDownload::onFinished() {
    onReadyRead();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        return fail(reply->url().toString() + QStringLiteral(": ") + reply->errorString());
    // Only a page that is really there counts: an error page is not the file asked for.
    if (status != 200)
        return fail(reply->url().toString() + QStringLiteral(": the server answered ") +
                    QString::number(status));
    if (!writeError_.isEmpty())
        return fail(writeError_);
    if (!file_->commit())
        return fail(file_->fileName() + QStringLiteral(": ") + file_->errorString());
    delete file_;
    file_ = nullptr;
    emit finished(QString());
}

void UrlDownload::fail(const QString& error) {
    delete file_; // not committed: the file is left as it was
    file_ = nullptr;
    emit finished(error);
}

} // namespace fr
