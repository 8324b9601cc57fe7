// The progress a log or a pipe reads: a line at every 5 percent, none skipped.

#include "cli/ProgressLine.h"

#include <QString>
#include <QStringList>
#include <cstdio>
#include <gtest/gtest.h>

namespace fr::cli {
namespace {

// The percent at the head of each line written.
QStringList percentsWritten(std::FILE* out) {
    std::rewind(out);
    QStringList percents;
    char line[512];
    while (std::fgets(line, sizeof line, out))
        percents << QString::fromUtf8(line).section('%', 0, 0);
    return percents;
}

TEST(ProgressLineTest, APipedJobThatJumpsPastStepsStillWritesEachStep) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        ProgressLine line(out, /*terminal=*/false, {{"%1 left", "damaged"}, "unreadable"});
        const std::int64_t total = 1000;
        line.start({50, 500, total, 0, 0, {}});
        line.update({52, 520, total, 0, 0, {}});
        line.update({69, 690, total, 0, 0, {}}); // a healthy stretch read at once
        line.update({70, 700, total, 0, 0, {}});
        line.update({71, 710, total, 0, 0, {}});
        line.finish({100, 1000, total, 0, 0, {}}); // the rest in one go
    }
    EXPECT_EQ(percentsWritten(out),
              (QStringList{"50", "55", "60", "65", "70", "75", "80", "85", "90", "95", "100"}));
    std::fclose(out);
}

} // namespace
} // namespace fr::cli
