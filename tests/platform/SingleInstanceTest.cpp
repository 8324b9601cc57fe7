// One copy at a time, with real copies of the program started in a program folder and a
// runtime folder of the test's own.

#include "platform/SingleInstance.h"

#include "support/TempProgramDir.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace fr {
namespace {

class SingleInstanceTest : public testing::Test {
protected:
    test::TempProgramDir dir;
    QTemporaryDir runtime;
    std::vector<std::unique_ptr<QProcess>> programs;

    void TearDown() override {
        for (auto& program : programs) {
            if (program->state() != QProcess::NotRunning) {
                program->kill();
                program->waitForFinished(5000);
            }
        }
    }

    QProcess& launch() {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program->setProcessEnvironment(environment);
        program->setWorkingDirectory(dir.path());
        program->start(QStringLiteral(FRAGMENTROVE_BINARY), {});
        EXPECT_TRUE(program->waitForStarted(10000));
        programs.push_back(std::move(program));
        return *programs.back();
    }

    // A running first copy answers on its socket.
    bool answering(const QProcess& program, int timeoutMs = 20000) {
        const QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && program.state() == QProcess::Running) {
            QLocalSocket probe;
            probe.connectToServer(runtime.path() + QStringLiteral("/NaseAplikace"));
            if (probe.waitForConnected(200))
                return true;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        return false;
    }
};

TEST_F(SingleInstanceTest, SecondCopyHandsOffAndEndsWhileTheFirstRunsOn) {
    QProcess& first = launch();
    ASSERT_TRUE(answering(first)) << first.readAllStandardError().toStdString();

    QProcess& second = launch();
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardError(), QByteArray()) << "the first copy came forward";
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, CopyKilledHardDoesNotBlockTheNextStart) {
    QProcess& first = launch();
    ASSERT_TRUE(answering(first));
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_TRUE(QFile::exists(runtime.path() + QStringLiteral("/Fragmentrove 3.lock")));
    ASSERT_TRUE(QFile::exists(runtime.path() + QStringLiteral("/NaseAplikace")));

    QProcess& next = launch();
    EXPECT_TRUE(answering(next)) << "the new copy runs and listens instead of handing off";
    EXPECT_EQ(next.state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, RealSecondCopyBringsThisCopyForward) {
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.acquire(), SingleInstance::LockResult::Acquired);
    ASSERT_TRUE(first.listen());
    QSignalSpy handOffs(&first, &SingleInstance::handOffReceived);

    QProcess& second = launch();
    const QDeadlineTimer deadline(10000);
    while (second.state() != QProcess::NotRunning && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(handOffs.size(), 1);
}

TEST_F(SingleInstanceTest, OnlyOneHolderOfTheLockAndItIsFreedWithTheHolder) {
    auto holder = std::make_unique<SingleInstance>(runtime.path());
    ASSERT_EQ(holder->acquire(), SingleInstance::LockResult::Acquired);
    SingleInstance other(runtime.path());
    EXPECT_EQ(other.acquire(), SingleInstance::LockResult::HeldByAnotherCopy);
    holder.reset();
    EXPECT_EQ(other.acquire(), SingleInstance::LockResult::Acquired);
}

TEST_F(SingleInstanceTest, StrangerOnTheSocketDoesNotBringTheWindowForward) {
    SingleInstance first(runtime.path());
    ASSERT_EQ(first.acquire(), SingleInstance::LockResult::Acquired);
    ASSERT_TRUE(first.listen());
    QSignalSpy handOffs(&first, &SingleInstance::handOffReceived);

    QLocalSocket stranger;
    stranger.connectToServer(first.socketPath());
    ASSERT_TRUE(stranger.waitForConnected(2000));
    stranger.write("hello\n");
    stranger.flush();
    const QDeadlineTimer deadline(3000);
    while (stranger.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(handOffs.size(), 0);
}

TEST_F(SingleInstanceTest, HandOffWithNobodyListeningGivesUpWithTheReason) {
    QString error;
    EXPECT_FALSE(SingleInstance::sendHandOff(runtime.path(), 300, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("NaseAplikace"))) << error.toStdString();
}

} // namespace
} // namespace fr
