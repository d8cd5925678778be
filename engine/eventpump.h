#pragma once

#include <chrono>

namespace vell {

// Lets a Qt event loop run from inside a long walk without paying for it
// at every entry: a pump that comes within `interval` of the last one is
// skipped, so a Stop is still seen within a few milliseconds while a walk
// of 100,000 files spends almost nothing on it.
class EventPump final
{
public:
    // The first pump is always due, however short the clock's time since boot.
    explicit EventPump(std::chrono::milliseconds interval = std::chrono::milliseconds(5))
        : m_interval(interval), m_last(std::chrono::steady_clock::now() - m_interval)
    {
    }

    // Processes the pending events `times` times in a row when due.
    void pump(int times);

private:
    std::chrono::steady_clock::duration m_interval;
    std::chrono::steady_clock::time_point m_last;
};

} // namespace vell
