#include "support/LocalTlsServer.h"

#include <QFile>
#include <QProcess>
#include <QSslSocket>
#include <QTimer>
#include <stdexcept>

namespace fr::test {

namespace {

void openssl(const QString& folder, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error("openssl " + arguments.join(' ').toStdString() + ": " +
                                 process.readAll().toStdString());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(path.toStdString() + ": " + file.errorString().toStdString());
    return file.readAll();
}

} // namespace

bool TestAuthority::available(QString* why) {
    if (!QSslSocket::supportsSsl()) {
        *why = QStringLiteral("this Qt has no TLS backend");
        return false;
    }
    QProcess version;
    version.start(QStringLiteral("openssl"), {QStringLiteral("version")});
    if (!version.waitForFinished(10000) || version.exitCode() != 0) {
        *why = QStringLiteral("the openssl command is missing (package openssl)");
        return false;
    }
    return true;
}

TestAuthority::TestAuthority() {
    const QString folder = dir_.path();
    openssl(folder, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                     "/CN=Fragmentrove test authority", "-keyout", "ca.key", "-out", "ca.pem"});
    QFile extensions(dir_.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly) ||
        extensions.write("subjectAltName=IP:127.0.0.1\n") < 0)
        throw std::runtime_error("server.ext cannot be written");
    extensions.close();
    openssl(folder, {"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                     "server.key", "-out", "server.csr"});
    openssl(folder,
            {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out", "server.pem"});
    serverCertificate_ = QSslCertificate(readAll(dir_.filePath(QStringLiteral("server.pem"))));
    serverKey_ = QSslKey(readAll(dir_.filePath(QStringLiteral("server.key"))), QSsl::Rsa);
    if (serverCertificate_.isNull() || serverKey_.isNull())
        throw std::runtime_error("the test server's certificate cannot be read");
}

LocalTlsServer::LocalTlsServer(QSslCertificate certificate, QSslKey key)
    : certificate_(std::move(certificate)), key_(std::move(key)) {
    if (!listen(QHostAddress::LocalHost))
        throw std::runtime_error("the test server cannot listen: " + errorString().toStdString());
}

QString LocalTlsServer::base() const {
    return QStringLiteral("https://127.0.0.1:") + QString::number(serverPort());
}

void LocalTlsServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    socket->setLocalCertificate(certificate_);
    socket->setPrivateKey(key_);
    // A client that refuses the certificate leaves an unfinished handshake behind.
    connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QSslSocket::readyRead, this, [this, socket] {
        if (!socket->canReadLine())
            return;
        socket->disconnect(this); // one request a connection
        const QList<QByteArray> requestLine = socket->readLine().split(' ');
        const QString path = QString::fromUtf8(requestLine.value(1));
        requests << path;
        if (!pages.contains(path)) {
            socket->write(
                "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        const Page& page = pages[path];
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                      "Connection: close\r\nContent-Length: " +
                      QByteArray::number(page.body.size()) + "\r\n\r\n");
        socket->write(page.cutAfter < 0 ? page.body : page.body.left(page.cutAfter));
        if (page.cutAfter < 0)
            socket->disconnectFromHost();
        else // the connection breaks once the first part is on its way; the rest never comes
            QTimer::singleShot(200, socket, [socket] { socket->abort(); });
    });
    socket->startServerEncryption();
}

} // namespace fr::test
