// The block reader against media that really fail: whatever its blocks and probes, what it
// hands out is the step-by-step loop over the job's unit, unit for unit and byte for byte.

#include "disk/BlockReader.h"

#include "core/AreaList.h"
#include "support/FaultyMedium.h"
#include "support/LoopDevice.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace fr {
namespace {

using test::FaultyMedium;

// A run of readable units (length > 0) or one unreadable unit.
struct Piece {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool failed = false;

    friend bool operator==(const Piece&, const Piece&) = default;
};

void PrintTo(const Piece& piece, std::ostream* out) {
    *out << (piece.failed ? "failed unit at " : "read ") << piece.offset;
    if (!piece.failed)
        *out << " + " << piece.length;
}

// Appends, joining a readable piece to a readable one it continues.
void append(std::vector<Piece>& pieces, const Piece& piece) {
    if (!piece.failed && !pieces.empty() && !pieces.back().failed &&
        pieces.back().offset + pieces.back().length == piece.offset) {
        pieces.back().length += piece.length;
        return;
    }
    pieces.push_back(piece);
}

struct Job {
    std::uint64_t unit;
    std::uint64_t afterFailure;
    std::uint64_t from;
    std::uint64_t until;
};

// The step-by-step loop, as plainly as it can be written: one unit per read; a unit that
// touches a bad byte, or lies past the source's end, fails.
std::vector<Piece> referenceLoop(std::uint64_t size, const AreaList& bad, const Job& job,
                                 int* failures) {
    std::vector<Piece> pieces;
    *failures = 0;
    for (std::uint64_t pos = job.from; pos < job.until;) {
        const std::uint64_t n = pos >= size ? 0 : std::min(job.unit, size - pos);
        const auto start = static_cast<std::int64_t>(pos);
        if (n == 0 || bad.overlaps({start, start + static_cast<std::int64_t>(n)})) {
            append(pieces, {pos, 0, true});
            ++*failures;
            pos += job.afterFailure;
        } else {
            append(pieces, {pos, n, false});
            pos += n;
        }
    }
    return pieces;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ReaderCase {
    const char* name;
    std::int64_t size;
    QList<ByteRange> bad;
    Job job;
    bool shortReads = false; // a read reaching a bad range returns its good bytes short
    bool loopDevice = false; // read through a loop device over the medium, as a disk job does
};

void PrintTo(const ReaderCase& c, std::ostream* out) {
    *out << c.name;
}

class BlockReaderExact : public testing::TestWithParam<ReaderCase> {};

TEST_P(BlockReaderExact, HandsOutTheStepByStepLoopUnitForUnit) {
    const ReaderCase& c = GetParam();
    QString why;
    if (!FaultyMedium::available(&why) || (c.loopDevice && !test::LoopDevice::available(&why)))
        GTEST_SKIP() << why.toStdString();
    FaultyMedium medium(c.size, c.bad, {.shortReads = c.shortReads});
    std::unique_ptr<test::LoopDevice> loop;
    if (c.loopDevice)
        loop = std::make_unique<test::LoopDevice>(medium.path());
    const QByteArray bytes = readAll(medium.backingPath());
    const auto* source = reinterpret_cast<const std::uint8_t*>(bytes.constData());

    BlockReader reader;
    BlockReader::Options options;
    options.unit = c.job.unit;
    options.afterFailure = c.job.afterFailure;
    options.from = c.job.from;
    options.until = c.job.until;
    ASSERT_EQ(reader.open(loop ? loop->path() : medium.path(), options), 0);
    std::vector<Piece> got;
    BlockReader::Chunk chunk;
    std::uint64_t expectedOffset = c.job.from;
    while (reader.next(chunk)) {
        ASSERT_EQ(chunk.offset, expectedOffset) << "each chunk starts where the last ended";
        if (!chunk.failed) {
            ASSERT_TRUE(std::equal(chunk.data, chunk.data + chunk.length, source + chunk.offset))
                << "bytes of the chunk at " << chunk.offset;
        }
        append(got, {chunk.offset, chunk.length, chunk.failed});
        expectedOffset += chunk.failed ? c.job.afterFailure : chunk.length;
    }

    AreaList bad;
    for (const ByteRange& range : c.bad)
        bad.add(range);
    int failures = 0;
    EXPECT_EQ(got, referenceLoop(static_cast<std::uint64_t>(c.size), bad, c.job, &failures));
    // A damaged area costs at most two failed reads more than the loop makes there.
    EXPECT_LE(reader.failedReads(), static_cast<std::uint64_t>(failures) + 2 * c.bad.size());
}

constexpr std::uint64_t MiB = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    BlockReader, BlockReaderExact,
    testing::Values(
        // The copy's unit and fill skip, from an odd place, on a source shorter than the job:
        // the last unit is short, and what lies past the end fails unit by unit.
        ReaderCase{"copy_unit_from_odd_place_past_a_short_source",
                   MiB + 1002,
                   {{4097 + 40, 4097 + 41}, {700001, 700900}},
                   {4, 512, 4097, MiB + 2500}},
        ReaderCase{
            "sectors", MiB, {{4196, 4197}, {300000, 340000}, {MiB - 512, MiB}}, {512, 512, 0, MiB}},
        // Image groups of 32 sectors; the source's last group is short.
        ReaderCase{"sector_groups_short_last_group",
                   MiB + 8192,
                   {{70000, 70001}, {500000, 600000}},
                   {16384, 16384, 0, MiB + 8192}},
        ReaderCase{"sectors_with_short_reads",
                   2 * MiB,
                   {{MiB + 1000, MiB + 1001}, {MiB + 70000, MiB + 75000}},
                   {512, 512, 0, 2 * MiB},
                   true},
        ReaderCase{"sectors_through_a_loop_device",
                   MiB,
                   {{8192, 8193}, {600000, 610000}},
                   {512, 512, 0, MiB},
                   false,
                   true},
        // The medium test's clusters on a device: blocks start off the cluster grid after a
        // failure, and an area runs across a block's end.
        ReaderCase{"clusters_through_a_loop_device",
                   3 * MiB,
                   {{0, 1}, {MiB - 5000, MiB + 9000}, {2 * MiB + 4095, 2 * MiB + 4097}},
                   {4096, 4096, 0, 3 * MiB},
                   false,
                   true}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return std::string(info.param.name); });

TEST(BlockReader, StopEndsReadingWithinTheBuffersAlreadyFilled) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("healthy.bin"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(QByteArray(16 * MiB, '\x42')), 16 * static_cast<qint64>(MiB));
    }
    BlockReader reader;
    BlockReader::Options options;
    options.unit = 512;
    options.until = 16 * MiB;
    ASSERT_EQ(reader.open(path, options), 0);
    BlockReader::Chunk chunk;
    ASSERT_TRUE(reader.next(chunk));
    const std::uint64_t readsAtStop = reader.reads();
    reader.stop();
    std::uint64_t handedOut = chunk.length;
    int chunks = 1;
    while (reader.next(chunk)) {
        handedOut += chunk.length;
        ++chunks;
    }
    // What was read ahead is still handed out; nothing more is read than the read under way.
    EXPECT_LE(reader.reads(), readsAtStop + 1);
    EXPECT_LE(chunks, 4);
    EXPECT_LT(handedOut, 16 * MiB);
}

TEST(BlockReader, RefusesWhatIsNeitherAFileNorADevice) {
    QTemporaryDir dir;
    BlockReader folder;
    EXPECT_EQ(folder.open(dir.path(), {}), EISDIR);
    BlockReader device;
    EXPECT_EQ(device.open(QStringLiteral("/dev/null"), {}), EINVAL);
    BlockReader missing;
    EXPECT_EQ(missing.open(dir.filePath(QStringLiteral("missing")), {}), ENOENT);
}

} // namespace
} // namespace fr
