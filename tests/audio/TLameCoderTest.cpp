#include "audio/TLameCoder.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(TLameCoder, ANewCoderOpensAStreamWithItsDefaultsAndReservedBytesZero) {
    TLameCoder coder;
    EXPECT_GT(coder.LameVersion().MajorVersion + coder.LameVersion().MinorVersion, 0);
    ASSERT_EQ(coder.InitStream(), 0u);
    EXPECT_EQ(coder.LastResult(), 0u);
    const be::Config& config = coder.configuration();
    EXPECT_EQ(be::field(config.data(), be::kFormat), 256u);
    EXPECT_EQ(be::field(config.data(), be::kStructSize), 331u);
    EXPECT_EQ(be::field(config.data(), be::kSampleRate), 44100u);
    EXPECT_EQ(be::field(config.data(), be::kBitrate), 128u);
    EXPECT_EQ(be::field(config.data(), be::kMaxBitrate), 320u);
    EXPECT_EQ(be::field(config.data(), be::kQuality), 0u);
    EXPECT_EQ(be::field(config.data(), be::kCrc), 0xffffffffu);
    EXPECT_EQ(be::field(config.data(), be::kVbrQuality), 4u);
    for (std::size_t i = 76; i < be::kConfigSize; ++i)
        ASSERT_EQ(config[i], 0) << "reserved byte " << i;
    EXPECT_GT(coder.SamplesPerChunk(), 0u);
    EXPECT_GE(coder.OutputBufferSize(), coder.SamplesPerChunk() * 5 / 8 + 7200);
    coder.CloseStream();
}

TEST(TLameCoder, SettersKeepTheirRules) {
    TLameCoder coder;
    coder.setWriteVBRHeader(kLongTrue);
    coder.setEnableVBR(0);
    EXPECT_EQ(coder.WriteVBRHeader(), 0) << "switching VBR off takes its header with it";

    coder.setInputFiles({"a.wav", "b", "dir.x/c.d.wav"});
    EXPECT_EQ(coder.OutputFiles(), QStringList({"a.mp3", "b.mp3", "dir.x/c.d.mp3"}));

    TLameCoder copy;
    coder.setBitrate(256);
    coder.setMode(TLameMode::MONO);
    coder.setDefaultExt(".wma");
    copy.Assign(coder);
    EXPECT_EQ(copy.Bitrate(), 256u);
    EXPECT_EQ(copy.Mode(), TLameMode::MONO);
    EXPECT_EQ(copy.DefaultExt(), ".mp3") << "the extension is not a setting";
    EXPECT_TRUE(copy.InputFiles().isEmpty());
}

} // namespace
} // namespace fr
