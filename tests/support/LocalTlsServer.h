#pragma once

#include <QByteArray>
#include <QMap>
#include <QSslCertificate>
#include <QSslKey>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>

namespace fr::test {

// A certificate authority made for one test, and server certificates it signs for 127.0.0.1.
// Made with the openssl command; throws std::runtime_error when that fails.
class TestAuthority {
public:
    TestAuthority();
    QString certificateFile() const { return dir_.filePath(QStringLiteral("ca.pem")); }
    // A certificate for 127.0.0.1 signed by this authority, and its key.
    QSslCertificate serverCertificate() const { return serverCertificate_; }
    QSslKey serverKey() const { return serverKey_; }
    static bool available(QString* why);

private:
    QTemporaryDir dir_;
    QSslCertificate serverCertificate_;
    QSslKey serverKey_;
};

// An HTTPS server on 127.0.0.1 that answers GET requests from a table of paths, in the
// thread that made it (the test's event loop serves it). It notes every path asked for.
class LocalTlsServer : public QTcpServer {
public:
    struct Page {
        QByteArray body;
        // Send only this many bytes of the body, then drop the connection (the length header
        // still announces the whole body): a download broken midway. -1 sends it all.
        qint64 cutAfter = -1;
    };

    LocalTlsServer(QSslCertificate certificate, QSslKey key);
    QString base() const; // "https://127.0.0.1:<port>"

    QMap<QString, Page> pages;
    QStringList requests;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    QSslCertificate certificate_;
    QSslKey key_;
};

} // namespace fr::test
