#pragma once

#include "cli/ProgressOutput.h"
#include "core/RescueMap.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <type_traits>

namespace fr::cli {

// What a job's own thread reports, read by the command's main thread: the latest percent and
// position, what its map says is settled, and the outcome once the job has ended.
template <typename Outcome> struct JobReports {
    std::atomic<int> percent{0};
    std::atomic<std::uint64_t> position{0};
    // Bytes read or under a fill, and whether the job is at the damaged places: -1 until the
    // job's first map.
    std::atomic<std::int64_t> settledBytes{-1};
    std::atomic<int> damagedArea{-1};
    std::atomic<bool> ended{false};
    Outcome outcome; // written before `ended`

    // The bytes done: the settled ones once the job has said, else those before `byPosition`.
    std::int64_t doneBytes(std::int64_t byPosition) const {
        const std::int64_t settled = settledBytes.load();
        return settled >= 0 ? settled : byPosition;
    }
    std::optional<bool> atDamagedArea() const {
        const int damaged = damagedArea.load();
        return damaged < 0 ? std::nullopt : std::optional<bool>(damaged != 0);
    }

    // The job's hooks, taking its reports on its own thread as they come.
    template <typename Hooks> Hooks hooks() {
        Hooks hooks;
        hooks.post = [](std::function<void()> work) {
            work();
        };
        if constexpr (std::is_invocable_v<decltype(hooks.progress), int, std::uint64_t>) {
            hooks.progress = [this](int reached, std::uint64_t at) {
                percent = reached;
                position = at;
            };
        } else {
            hooks.progress = [this](int reached) {
                percent = reached;
            };
        }
        if constexpr (requires { hooks.mapped; }) {
            hooks.mapped = [this](const RescueMap& map, bool damaged) {
                settledBytes = map.size - map.untried.totalBytes();
                damagedArea = damaged ? 1 : 0;
            };
        }
        hooks.ended = [this](const Outcome& result) {
            outcome = result;
            ended = true;
        };
        return hooks;
    }
};

// How the command's main thread follows a job that runs on threads of its own.
struct JobWatch {
    std::function<bool()> ended;            // the job's end has been reported
    std::function<ProgressSample()> sample; // where it is now
    std::function<void(int signal)> stop;   // a stop signal arrived: once, while it runs
};

// Follows the job until it has ended: shows its progress and hands a stop signal to it. The
// signal that stopped it is returned, 0 when none arrived while it ran.
int watchJob(const JobWatch& watch, ProgressOutput& line);

} // namespace fr::cli
