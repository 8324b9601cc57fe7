#include "audio/EncoderSettings.h"

#include <gtest/gtest.h>

namespace fr {
namespace {

TEST(EncoderSettings, ChoicesBecomeRatesAndTheMp3sOwnFormat) {
    Settings settings;
    settings.mp3Bitrate = 5;
    settings.mp3MaxBitrate = 0;
    settings.mp3SampleRate = 0;
    settings.mp3Vbr = 1;
    settings.mp3Stereo = 0;
    TLameCoder encoder;
    applyEncoderSettings(settings, encoder);
    EXPECT_EQ(encoder.Bitrate(), 320u);
    EXPECT_EQ(encoder.MaxBitrate(), 160u);
    EXPECT_EQ(encoder.EnableVBR(), kLongTrue);
    EXPECT_EQ(encoder.WriteVBRHeader(), kLongTrue);
    // The MP3 is made at 22050 Hz mono; the PCM coming in stays described as it is.
    EXPECT_EQ(encoder.OutputSampleRate(), 22050u);
    EXPECT_EQ(encoder.OutputMode(), TLameMode::MONO);
    EXPECT_EQ(encoder.SampleRate(), 44100u);
    EXPECT_EQ(encoder.Mode(), TLameMode::STEREO);

    settings.mp3Bitrate = 0;
    settings.mp3MaxBitrate = 3;
    settings.mp3SampleRate = 1;
    settings.mp3Vbr = 2; // only 1 switches variable rate on
    settings.mp3Stereo = 1;
    applyEncoderSettings(settings, encoder);
    EXPECT_EQ(encoder.Bitrate(), 96u);
    EXPECT_EQ(encoder.MaxBitrate(), 320u);
    EXPECT_EQ(encoder.OutputSampleRate(), 32000u);
    EXPECT_EQ(encoder.EnableVBR(), 0);
    EXPECT_EQ(encoder.WriteVBRHeader(), 0);
    EXPECT_EQ(encoder.OutputMode(), TLameMode::STEREO);
}

TEST(EncoderSettings, AValueOutsideItsRangeLeavesTheOptionAsItWas) {
    TLameCoder encoder;
    encoder.setBitrate(192);
    encoder.setMaxBitrate(256);
    encoder.setOutputSampleRate(32000);
    Settings settings;
    settings.mp3Bitrate = 6;
    settings.mp3MaxBitrate = 4;
    settings.mp3SampleRate = 255;
    applyEncoderSettings(settings, encoder);
    EXPECT_EQ(encoder.Bitrate(), 192u);
    EXPECT_EQ(encoder.MaxBitrate(), 256u);
    EXPECT_EQ(encoder.OutputSampleRate(), 32000u);
}

} // namespace
} // namespace fr
