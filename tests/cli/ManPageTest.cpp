// The manual pages say what the help says: every option the help of any command names is in
// the page, and groff reads the pages without a warning.

#include "cli/CliProcess.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

QString manPage(const QString& name) {
    return QStringLiteral(QT_TESTCASE_SOURCEDIR "/../man/") + name;
}

// The page as a reader sees its words: groff's escaped minus signs as plain ones.
QString pageText(const QString& name) {
    QFile file(manPage(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).replace(QStringLiteral("\\-"), QStringLiteral("-"));
}

TEST(ManPage, EveryOptionOfTheHelpIsInTheCommandLinesPage) {
    const QTemporaryDir programDir;
    const QString page = pageText(QStringLiteral("fragmentrove-cli.1"));
    ASSERT_FALSE(page.isEmpty());
    QSet<QString> options;
    const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[a-zA-Z][a-zA-Z-]*)"));
    for (const QStringList& arguments : {QStringList{"--help"},
                                         {"copy", "--help"},
                                         {"resume", "--help"},
                                         {"image", "--help"},
                                         {"restore", "--help"},
                                         {"test", "--help"},
                                         {"wipe", "--help"},
                                         {"register", "--help"},
                                         {"setup", "--help"}}) {
        const test::CliResult help = test::runCli(programDir.path(), arguments);
        ASSERT_EQ(help.exitCode, 0) << arguments.join(' ').toStdString();
        for (const QRegularExpressionMatch& match : option.globalMatch(help.out))
            options.insert(match.captured(1));
        // Each command has a section of its own in the page.
        if (arguments.size() == 2) {
            EXPECT_TRUE(page.contains(QStringLiteral(".B ") + arguments[0]) ||
                        page.contains(QStringLiteral(".BI ") + arguments[0]) ||
                        page.contains(QStringLiteral(".BR ") + arguments[0]))
                << arguments[0].toStdString();
        }
    }
    EXPECT_GT(options.size(), 10);
    for (const QString& name : options)
        EXPECT_TRUE(page.contains(name)) << name.toStdString() << " is not in the manual page";
}

TEST(ManPage, GroffReadsBothPagesWithoutAWarning) {
    if (QStandardPaths::findExecutable(QStringLiteral("groff")).isEmpty())
        GTEST_SKIP() << "groff is not installed";
    for (const QString& name :
         {QStringLiteral("fragmentrove-cli.1"), QStringLiteral("fragmentrove.1")}) {
        QProcess groff;
        groff.start(QStringLiteral("groff"), {"-ww", "-man", "-z", manPage(name)});
        ASSERT_TRUE(groff.waitForFinished(30000));
        EXPECT_EQ(groff.exitCode(), 0) << name.toStdString();
        EXPECT_EQ(QString::fromUtf8(groff.readAllStandardError()), QString()) << name.toStdString();
        const QString page = pageText(name);
        for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS",
                                    ".SH EXIT STATUS", ".SH FILES", ".SH EXAMPLES", ".SH SEE ALSO"})
            EXPECT_TRUE(page.contains(QLatin1String(section))) << name.toStdString() << section;
    }
}

} // namespace
} // namespace fr
