#include "cmd/mountwatch.h"

#include <algorithm>

namespace moviecat::cmd {

MountWatch::MountWatch(MountTable table, std::chrono::milliseconds deadline)
    : m_table(std::move(table)), m_deadline(deadline), m_states(m_table.mounts().size())
{}

MountWatch::Place MountWatch::locate(std::string_view path) const
{
    return {m_table.mountOf(path), m_table.holdsMountPoints(path)};
}

void MountWatch::callStarted(int mount, Clock::time_point now)
{
    if (mount < 0)
        return;
    State &state = m_states[size_t(mount)];
    if (state.calls == 0)
        state.first = now;
    else if (state.calls == 1)
        state.second = now;
    ++state.calls;
}

void MountWatch::callAnswered(int mount)
{
    if (mount >= 0)
        m_states[size_t(mount)].calls = 0;
}

bool MountWatch::isSilent(int mount, Clock::time_point now)
{
    if (mount < 0)
        return false;
    State &state = m_states[size_t(mount)];
    if (!state.silent && now >= silentAt(mount))
        state.silent = true;
    return state.silent;
}

MountWatch::Clock::time_point MountWatch::silentAt(int mount) const
{
    if (mount < 0 || m_states[size_t(mount)].calls < 2)
        return Clock::time_point::max();
    const State &state = m_states[size_t(mount)];
    return std::max(state.first + m_deadline, state.second + m_deadline / 4);
}

} // namespace moviecat::cmd
