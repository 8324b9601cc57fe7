#pragma once

namespace fr {

// What the MP3 encoder is told to produce. The settings set it at start-up and whenever
// the MP3 settings are taken over; the encoder reads it when a track is encoded.
struct Mp3EncoderOptions {
    int bitrate = 128;      // kbit/s, the constant rate or the lower bound with variable rate
    int maxBitrate = 320;   // kbit/s, the upper bound with variable rate
    int sampleRate = 44100; // Hz of the MP3 (the ripped sound is resampled to it)
    bool vbr = false;       // variable bit rate
    bool vbrHeader = false; // a header that lets players seek in a variable-rate file
    bool stereo = true;     // stereo, otherwise mono

    bool operator==(const Mp3EncoderOptions&) const = default;
};

} // namespace fr
