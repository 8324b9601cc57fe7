#pragma once

#include "audio/BeConfig.h"

#include <cstdint>
#include <map>
#include <memory>

namespace fr::be {

struct Stream;

// The MP3 encoder's stream interface over libmp3lame: open a stream from a configuration
// record, feed it chunks of 16-bit PCM, flush it, close it. Each object keeps its own
// streams; a handle is valid only with the object that gave it.
//
// Every stream ends with a 128-byte ID3 version 1 area ("TAG" and empty fields), so that a
// tag writer can fill it in place. With the VBR header asked for, the first frame of the
// stream is an Info/Xing frame; after the flush, beGetInfoTag gives its final form, which
// the writer puts over the first frame so that players know the exact length.
class BeStreams {
public:
    BeStreams();
    ~BeStreams();
    BeStreams(const BeStreams&) = delete;
    BeStreams& operator=(const BeStreams&) = delete;

    static void beVersion(Version* version);

    // Opens a stream. samples: 16-bit samples (all channels) each beEncodeChunk takes;
    // bufferSize: bytes the output of beEncodeChunk and beDeinitStream may need.
    Result beInitStream(const std::uint8_t* config, std::uint32_t* samples,
                        std::uint32_t* bufferSize, std::uint32_t* handle);
    // Encodes `samples` interleaved 16-bit samples; *outputBytes = MP3 bytes put in output.
    Result beEncodeChunk(std::uint32_t handle, std::uint32_t samples, const std::int16_t* input,
                         std::uint8_t* output, std::uint32_t* outputBytes);
    // Flushes the encoder: the last frames and the ID3 version 1 area.
    Result beDeinitStream(std::uint32_t handle, std::uint8_t* output, std::uint32_t* outputBytes);
    Result beCloseStream(std::uint32_t handle);
    // The first frame as it should stand once the stream is flushed; *bytes = 0 when the
    // stream has no VBR header. `output` holds at least the stream's bufferSize bytes.
    Result beGetInfoTag(std::uint32_t handle, std::uint8_t* output, std::uint32_t* bytes);

private:
    Stream* find(std::uint32_t handle) const;

    std::map<std::uint32_t, std::unique_ptr<Stream>> streams_;
    std::uint32_t nextHandle_ = 1;
};

} // namespace fr::be
