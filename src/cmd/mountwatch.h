#pragma once

#include "base/mounttable.h"

#include <chrono>
#include <string_view>
#include <vector>

namespace moviecat::cmd {

// Whether the mounts under the folders being walked still answer. A mount counts as
// not answering once a call on it has waited past the deadline, a second call on it has
// waited a quarter of that, and no call on it has answered since the first began; from
// then on every folder on it is given up without another call. A single folder that
// hangs while the rest of its mount answers does not condemn the mount: it is given up
// alone, after its own deadline, and the next call on the mount tells which case it is.
//
// Not thread-safe: the walker calls it under its lock, except locate(), which only
// reads the table.
class MountWatch {
public:
    using Clock = std::chrono::steady_clock;

    // mount: an index into the table's mounts, -1 where it is not known.
    struct Place {
        int mount = -1;
        bool mountPointsBelow = false;
    };

    MountWatch(MountTable table, std::chrono::milliseconds deadline);

    // Where a folder lies, by its path alone.
    Place locate(std::string_view path) const;
    // A sub-folder's place: its parent's, unless a mount point lies below the parent.
    Place locateChild(const Place &parent, std::string_view childPath) const
    {
        return parent.mountPointsBelow ? locate(childPath) : Place{parent.mount, false};
    }

    void callStarted(int mount, Clock::time_point now);
    void callAnswered(int mount);
    // True once the mount counts as not answering; it stays so.
    bool isSilent(int mount, Clock::time_point now);
    // When the mount will count as not answering unless a call answers before.
    Clock::time_point silentAt(int mount) const;

private:
    struct State {
        unsigned calls = 0;         // started since the last answer
        Clock::time_point first{};  // when the first of those started
        Clock::time_point second{}; // and the second
        bool silent = false;
    };
    MountTable m_table;
    std::chrono::milliseconds m_deadline;
    std::vector<State> m_states;
};

} // namespace moviecat::cmd
