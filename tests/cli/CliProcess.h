#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

namespace fr::test {

// What a run of fragmentrove-cli left: its exit status and everything it wrote.
struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Starts fragmentrove-cli on the program folder `programDir`, with no terminal on standard
// input (so it can ask nobody).
inline std::unique_ptr<QProcess> startCli(const QString& programDir, QStringList arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral(FRAGMENTROVE_CLI_BINARY));
    process->setArguments(arguments << QStringLiteral("--program-dir") << programDir);
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    process->waitForStarted();
    return process;
}

inline CliResult finishCli(QProcess& process, int timeoutMs = 120000) {
    process.waitForFinished(timeoutMs);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

inline CliResult runCli(const QString& programDir, const QStringList& arguments) {
    return finishCli(*startCli(programDir, arguments));
}

} // namespace fr::test
