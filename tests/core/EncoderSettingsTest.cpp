#include "core/EncoderSettings.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(EncoderSettings, ChoicesBecomeRatesAndModes) {
    Settings settings;
    settings.mp3Bitrate = 5;
    settings.mp3MaxBitrate = 0;
    settings.mp3SampleRate = 0;
    settings.mp3Vbr = 1;
    settings.mp3Stereo = 0;
    Mp3EncoderOptions encoder;
    applyEncoderSettings(settings, encoder);
    EXPECT_EQ(encoder.bitrate, 320);
    EXPECT_EQ(encoder.maxBitrate, 160);
    EXPECT_EQ(encoder.sampleRate, 22050);
    EXPECT_TRUE(encoder.vbr);
    EXPECT_TRUE(encoder.vbrHeader);
    EXPECT_FALSE(encoder.stereo);

    settings.mp3Bitrate = 0;
    settings.mp3MaxBitrate = 3;
    settings.mp3SampleRate = 1;
    settings.mp3Vbr = 2; // only 1 switches variable rate on
    settings.mp3Stereo = 1;
    applyEncoderSettings(settings, encoder);
    EXPECT_EQ(encoder.bitrate, 96);
    EXPECT_EQ(encoder.maxBitrate, 320);
    EXPECT_EQ(encoder.sampleRate, 32000);
    EXPECT_FALSE(encoder.vbr);
    EXPECT_FALSE(encoder.vbrHeader);
    EXPECT_TRUE(encoder.stereo);
}

TEST(EncoderSettings, AValueOutsideItsRangeLeavesTheOptionAsItWas) {
    Mp3EncoderOptions encoder;
    encoder.bitrate = 192;
    encoder.maxBitrate = 256;
    encoder.sampleRate = 32000;
    Settings settings;
    settings.mp3Bitrate = 6;
    settings.mp3MaxBitrate = 4;
    settings.mp3SampleRate = 255;
    applyEncoderSettings(settings, encoder);
    EXPECT_EQ(encoder.bitrate, 192);
    EXPECT_EQ(encoder.maxBitrate, 256);
    EXPECT_EQ(encoder.sampleRate, 32000);
}

} // namespace
} // namespace fr
