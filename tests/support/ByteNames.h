#pragma once

#include "platform/FileName.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <system_error>

namespace fr::test {

// Files whose names are any bytes (Latin-1, cut UTF-8, a backslash): Qt's own file classes
// turn such names into other bytes, so these helpers and the program's codec go by bytes.

inline std::filesystem::path bytePath(const QString& name) {
    return std::filesystem::path(fileNameBytes(name).toStdString());
}

// Replaces the file with these bytes; a failure ends the test.
inline void writeByteNamed(const QString& path, const QByteArray& bytes) {
    std::ofstream out(bytePath(path), std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.good()) << fileNameBytes(path).toStdString();
    out.write(bytes.constData(), bytes.size());
    ASSERT_TRUE(out.good()) << fileNameBytes(path).toStdString();
}

// The file's bytes; "<missing>" when it is not there.
inline QByteArray contentOfByteNamed(const QString& path) {
    std::ifstream in(bytePath(path), std::ios::binary);
    if (!in.good())
        return QByteArray("<missing>");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Empties a folder at the end of its scope, whatever its names: a QTemporaryDir cannot remove
// a name Qt cannot spell. Declare it after the folder it empties.
class EmptiedAtEnd {
public:
    explicit EmptiedAtEnd(QString folder) : folder_(std::move(folder)) {}
    ~EmptiedAtEnd() {
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(bytePath(folder_), ignored))
            std::filesystem::remove_all(entry.path(), ignored);
    }
    EmptiedAtEnd(const EmptiedAtEnd&) = delete;
    EmptiedAtEnd& operator=(const EmptiedAtEnd&) = delete;

private:
    QString folder_;
};

// Starts fragmentrove-cli with arguments of any bytes, as a shell passes them: QProcess would
// re-encode them. The program itself is what runs (exec), so signals reach it.
inline std::unique_ptr<QProcess> startCliWithBytes(const QString& programDir,
                                                   const QStringList& arguments,
                                                   const QString& scratchFolder) {
    QString script = QStringLiteral("exec \"$0\"");
    for (int i = 0; i < arguments.size(); ++i) {
        const QString file = scratchFolder + QStringLiteral("/argument%1").arg(i);
        writeByteNamed(file, fileNameBytes(arguments[i]));
        script += QStringLiteral(" \"$(cat '%1')\"").arg(file);
    }
    auto process = std::make_unique<QProcess>();
    process->setProgram(QStringLiteral("/bin/sh"));
    process->setArguments({QStringLiteral("-c"), script + QStringLiteral(" --program-dir \"$1\""),
                           QStringLiteral(FRAGMENTROVE_CLI_BINARY), programDir});
    process->setStandardInputFile(QProcess::nullDevice());
    process->start();
    process->waitForStarted();
    return process;
}

} // namespace fr::test
