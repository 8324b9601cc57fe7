#pragma once

#include "audio/CdRipLibrary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace fr::test {

// A ripping library that plays a script and writes down every call, for the ripper's exact
// call sequences.
class ScriptedCdRipLibrary : public CdRipLibrary {
public:
    struct Chunk {
        QByteArray pcm;
        std::uint32_t result = CR_OK;
    };

    QStringList calls;
    std::vector<TocEntry> toc; // the tracks and then the lead-out
    std::array<std::uint8_t, CdRomParameters::kSize> record{};
    std::uint32_t active = 0;
    std::uint32_t openResult = CR_OK;
    std::uint32_t setParametersResult = CR_OK;
    std::uint32_t chunkBytes = 8192;
    std::deque<Chunk> chunks;
    std::uint32_t jitterErrors = 0;
    // Runs inside CR_RipChunk, after the chunk is handed over (to press stop, for one).
    std::function<void()> duringChunk;

    std::uint32_t CR_GetCDRipVersion() override { return note("GetCDRipVersion", 111); }
    std::uint32_t CR_Init() override { return note("Init", CR_OK); }
    std::uint32_t CR_GetCDROMParameters(std::uint8_t* parameters) override {
        std::copy(record.begin(), record.end(), parameters);
        return note("GetCDROMParameters", CR_OK);
    }
    std::uint32_t CR_SetCDROMParameters(const std::uint8_t* parameters) override {
        std::copy_n(parameters, record.size(), record.begin());
        return note("SetCDROMParameters", setParametersResult);
    }
    std::uint32_t CR_GetActiveCDROM() override { return note("GetActiveCDROM", active); }
    std::uint32_t CR_SetActiveCDROM(std::uint32_t drive) override {
        active = drive;
        return note(QStringLiteral("SetActiveCDROM %1").arg(drive), CR_OK);
    }
    std::uint32_t CR_ReadToc() override { return note("ReadToc", toc.empty() ? CR_ERROR : CR_OK); }
    std::uint32_t CR_GetNumTocEntries() override {
        return note("GetNumTocEntries", toc.empty() ? 0 : std::uint32_t(toc.size() - 1));
    }
    TocEntry CR_GetTocEntry(std::uint32_t index) override {
        note(QStringLiteral("GetTocEntry %1").arg(index), 0);
        return toc.at(index);
    }
    std::uint32_t CR_OpenRipper(std::uint32_t* bufferSize, std::uint32_t start,
                                std::uint32_t end) override {
        *bufferSize = chunkBytes;
        return note(QStringLiteral("OpenRipper %1 %2").arg(start).arg(end), openResult);
    }
    std::uint32_t CR_RipChunk(std::uint8_t* buffer, std::uint32_t* bytes) override {
        note("RipChunk", 0);
        Chunk chunk = chunks.empty() ? Chunk{{}, CR_END_OF_RANGE} : chunks.front();
        if (!chunks.empty())
            chunks.pop_front();
        if (chunk.pcm.size() > qsizetype(chunkBytes)) {
            ADD_FAILURE() << "a chunk of " << chunk.pcm.size() << " bytes; the rip buffer holds "
                          << chunkBytes;
            chunk.pcm.truncate(chunkBytes);
        }
        std::copy(chunk.pcm.begin(), chunk.pcm.end(), buffer);
        *bytes = std::uint32_t(chunk.pcm.size());
        if (duringChunk)
            duringChunk();
        return chunk.result;
    }
    std::uint32_t CR_GetLastJitterErrorPosition(std::uint32_t* first,
                                                std::uint32_t* second) override {
        *first = 4000000000u; // positions are unsigned
        *second = 7;
        return note("GetLastJitterErrorPosition", CR_OK);
    }
    std::uint32_t CR_GetLastUnreadableSectors(std::uint32_t* first, std::uint32_t* last) override {
        *first = 1200;
        *last = 1201;
        return note("GetLastUnreadableSectors", CR_OK);
    }
    std::uint32_t CR_GetPercentCompleted() override { return note("GetPercentCompleted", 50); }
    std::uint32_t CR_GetNumberOfJitterErrors() override {
        return note("GetNumberOfJitterErrors", jitterErrors);
    }
    std::uint32_t CR_CloseRipper() override { return note("CloseRipper", CR_OK); }

private:
    std::uint32_t note(const QString& call, std::uint32_t result) {
        calls.append(call);
        return result;
    }
};

} // namespace fr::test
