#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace fr {

// The eleven small settings of the program, in the order of the lines of settings.ini.
struct Settings {
    std::uint8_t fillMode = 0;  // 0..2 zero fill blocks, 3 random fill blocks
    std::uint8_t language = 2;  // 0 Slovak, 1 Czech, 2 English, 3 Spanish, 4 German, 5 French
    std::uint8_t blockSize = 0; // 0 = 512, 1 = 1024, 2 = 2048 bytes per fill block
    std::uint8_t autostartManager = 0; // 1 = the media manager starts with the session
    std::uint8_t launchManager = 0;    // 1 = start the media manager when the window activates
    std::uint8_t mp3Bitrate = 1;       // 0..5 = 96, 128, 160, 192, 256, 320 kbit/s
    std::uint8_t mp3MaxBitrate = 3;    // 0..3 = 160, 192, 256, 320 kbit/s (variable bit rate)
    std::uint8_t mp3SampleRate = 2;    // 0..2 = 22050, 32000, 44100 Hz
    std::uint8_t mp3Vbr = 0;           // 1 = variable bit rate with its header
    std::uint8_t mp3Stereo = 1;        // 1 = stereo, otherwise mono
    std::uint8_t skin = 0;             // 0 classic, 1 nature, 2 banana

    static constexpr int kFieldCount = 11;

    // The fields by their line index in settings.ini.
    static constexpr std::array<std::uint8_t Settings::*, kFieldCount> kFields{
        &Settings::fillMode,         &Settings::language,      &Settings::blockSize,
        &Settings::autostartManager, &Settings::launchManager, &Settings::mp3Bitrate,
        &Settings::mp3MaxBitrate,    &Settings::mp3SampleRate, &Settings::mp3Vbr,
        &Settings::mp3Stereo,        &Settings::skin};

    std::uint8_t& field(int index) { return this->*kFields.at(static_cast<std::size_t>(index)); }
    std::uint8_t field(int index) const {
        return this->*kFields.at(static_cast<std::size_t>(index));
    }

    // Block size in bytes of the copy engines' fill blocks.
    static int blockBytes(std::uint8_t blockSizeField) { return 512 << blockSizeField; }

    bool operator==(const Settings&) const = default;
};

} // namespace fr
