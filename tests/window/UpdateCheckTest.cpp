// The update check against a local HTTPS server with a certificate authority of its own.

#include "window/UpdateCheck.h"

#include "platform/ConnectionState.h"
#include "support/LocalTlsServer.h"
#include "support/WindowFixture.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace fr::test {
namespace {

const QByteArray kInstaller = QByteArray(200000, 'i');

class UpdateCheckTest : public WindowFixture {
protected:
    void SetUp() override {
        QString why;
        if (!TestAuthority::available(&why))
            GTEST_SKIP() << why.toStdString();
        createWindow();
        authority = std::make_unique<TestAuthority>();
        server = std::make_unique<LocalTlsServer>(authority->serverCertificate(),
                                                  authority->serverKey());
        server->pages[QStringLiteral("/download/fr3_sk.exe")] = {kInstaller};
    }

    UpdateCheck::Server trusted() const {
        return {QUrl(server->base()), QSslCertificate::fromPath(authority->certificateFile())};
    }

    // Runs one check to its end.
    void check(const QByteArray& versionFile, bool online = true,
               std::optional<UpdateCheck::Server> at = {}) {
        server->pages[QStringLiteral("/fr3_key")] = {versionFile};
        UpdateCheck update(context, at.value_or(trusted()), [online] { return online; });
        QSignalSpy done(&update, &UpdateCheck::done);
        update.checkUpdate();
        ASSERT_TRUE(done.count() == 1 || done.wait(30000));
    }

    bool exists(const char* name) const { return QFile::exists(dir.file(QLatin1String(name))); }
    QByteArray contents(const char* name) const {
        QFile file(dir.file(QLatin1String(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<TestAuthority> authority;
    std::unique_ptr<LocalTlsServer> server;
};

TEST_F(UpdateCheckTest, TheNewerVersionIsOfferedOnceAndItsInstallerStarted) {
    // Only the first line counts, whatever follows it, and whatever its line end.
    for (const QByteArray& versionFile :
         {QByteArray("3.2\n3.2\nnotes\n"), QByteArray("3.2\r\nx"), QByteArray("3.2")}) {
        SCOPED_TRACE(versionFile.toStdString());
        prompts.shown.clear();
        platform.filesRun.clear();
        server->requests.clear();
        dir.remove(QStringLiteral("install.exe"));
        prompts.answers = {PromptAnswer::Yes};

        check(versionFile);

        ASSERT_EQ(prompts.shown.size(), 1u);
        EXPECT_EQ(prompts.shown[0].kind, PromptKind::Confirmation);
        EXPECT_EQ(prompts.shown[0].text, context.text(211));
        EXPECT_EQ(server->requests, QStringList({QStringLiteral("/fr3_key"),
                                                 QStringLiteral("/download/fr3_sk.exe")}));
        EXPECT_EQ(contents("temp"), versionFile);
        EXPECT_EQ(contents("install.exe"), kInstaller);
        EXPECT_TRUE(QFileInfo(dir.file(QStringLiteral("install.exe"))).isExecutable());
        EXPECT_EQ(platform.filesRun, std::vector<QString>{dir.file(QStringLiteral("install.exe"))});
    }
}

TEST_F(UpdateCheckTest, AnyOtherFirstLineEndsTheCheckSilently) {
    for (const QByteArray& versionFile :
         {QByteArray("3.2 \n"), QByteArray("3.20\n"), QByteArray("3.1\n"), QByteArray("3.3"),
          QByteArray(" 3.2"), QByteArray("\n3.2\n"), QByteArray()}) {
        SCOPED_TRACE(versionFile.toStdString());
        server->requests.clear();
        check(versionFile);
        EXPECT_TRUE(prompts.shown.empty());
        EXPECT_EQ(server->requests, QStringList{QStringLiteral("/fr3_key")});
        EXPECT_FALSE(exists("install.exe"));
    }
}

TEST_F(UpdateCheckTest, NoDownloadsNothingAndKeepsTheVersionFile) {
    prompts.answers = {PromptAnswer::No};
    check("3.2\n");
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(server->requests, QStringList{QStringLiteral("/fr3_key")});
    EXPECT_EQ(contents("temp"), "3.2\n");
    EXPECT_FALSE(exists("install.exe"));
    EXPECT_TRUE(platform.filesRun.empty());
}

TEST_F(UpdateCheckTest, OfflineOrAnUntrustedServerFetchesNothing) {
    check("3.2\n", false);
    EXPECT_TRUE(server->requests.isEmpty());

    // The same server, but its authority is not trusted here: the address is someone else's.
    check("3.2\n", true, UpdateCheck::Server{QUrl(server->base()), {}});
    EXPECT_TRUE(server->requests.isEmpty());

    EXPECT_FALSE(exists("temp"));
    EXPECT_FALSE(exists("install.exe"));
    EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(UpdateCheckTest, AnInstallerBrokenMidwayLeavesNoFileAndIsReported) {
    server->pages[QStringLiteral("/download/fr3_sk.exe")] = {kInstaller, 5000};
    prompts.answers = {PromptAnswer::Yes};
    check("3.2\n");
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].kind, PromptKind::Information);
    EXPECT_EQ(prompts.shown[1].text, context.text(212));
    EXPECT_FALSE(exists("install.exe"));
    EXPECT_TRUE(platform.filesRun.empty());

    // An installer from an earlier offer stays as it was, not half replaced.
    dir.write(QStringLiteral("install.exe"), "earlier");
    prompts.answers = {PromptAnswer::Yes};
    check("3.2\n");
    EXPECT_EQ(contents("install.exe"), "earlier");
}

TEST_F(UpdateCheckTest, TheWindowAppearsBeforeTheCheckAsks) {
    if (!ConnectionState::online())
        GTEST_SKIP() << "this machine reports no network connection";
    server->pages[QStringLiteral("/fr3_key")] = {"3.2\n"};
    const QByteArray earlierServer = qgetenv("FRAGMENTROVE_UPDATE_SERVER");
    qputenv("FRAGMENTROVE_UPDATE_SERVER", server->base().toUtf8());
    qputenv("FRAGMENTROVE_UPDATE_CA", QFile::encodeName(authority->certificateFile()));
    // The window reads where to look when it is made.
    window.reset();
    createWindow();
    qputenv("FRAGMENTROVE_UPDATE_SERVER", earlierServer);
    qunsetenv("FRAGMENTROVE_UPDATE_CA");

    form->show();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !prompts.shown.empty(); }, 30000));
    EXPECT_EQ(prompts.shown[0].text, context.text(211));
    EXPECT_EQ(server->requests, QStringList{QStringLiteral("/fr3_key")});
}

} // namespace
} // namespace fr::test
