// The conventions a technician's scripts rely on: the version, a quiet run that prints only
// its result, and errors on standard error only.

#include "cli/CliProcess.h"
#include "support/FaultyMedium.h"
#include "support/FileBytes.h"
#include "support/TempProgramDir.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fr {
namespace {

using test::CliResult;
using test::runCli;

TEST(CliConventions, TheVersionNamesTheProgramAndTheLibrariesItRunsWith) {
    const test::TempProgramDir dir;
    for (const char* option : {"--version", "-V"}) {
        const CliResult version = runCli(dir.path(), {option});
        EXPECT_EQ(version.exitCode, 0) << option;
        EXPECT_TRUE(version.out.startsWith(QStringLiteral("fragmentrove-cli 3.1")))
            << version.out.toStdString();
        for (const char* library : {"Qt 6.", "libcdio ", "LAME ", "libblkid "})
            EXPECT_TRUE(version.out.contains(QLatin1String(library))) << library;
        EXPECT_EQ(version.err, QString());
    }
}

TEST(CliConventions, AQuietCopyPrintsOnlyItsResultAndErrorsGoToStandardError) {
    const test::TempProgramDir dir;
    const QTemporaryDir files;
    const QString source = files.filePath(QStringLiteral("source.bin"));
    test::writeFile(source, test::FaultyMedium::pattern(0, 300000));
    const QString copy = files.filePath(QStringLiteral("copy.bin"));

    const CliResult loud = runCli(dir.path(), {"copy", source, copy});
    ASSERT_EQ(loud.exitCode, 0) << loud.err.toStdString();
    EXPECT_TRUE(loud.out.contains(QStringLiteral(" -> "))) << "without -q the job is told";

    const CliResult quiet = runCli(dir.path(), {"-q", "copy", source, copy, "--yes"});
    ASSERT_EQ(quiet.exitCode, 0) << quiet.err.toStdString();
    EXPECT_EQ(quiet.out, QStringLiteral("Done: every byte was read.\n"));
    EXPECT_EQ(quiet.err, QString());
    EXPECT_TRUE(test::contentOf(copy) == test::FaultyMedium::pattern(0, 300000));

    const CliResult wrong = runCli(dir.path(), {"--quiet", "copy", source, "--fill", "purple"});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_EQ(wrong.out, QString());
    EXPECT_FALSE(wrong.err.isEmpty());
}

} // namespace
} // namespace fr
