#include "engine/eventpump.h"

#include <QCoreApplication>

namespace vell {

void EventPump::pump(int times)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < m_interval)
        return;
    for (int i = 0; i < times; ++i)
        QCoreApplication::processEvents();
    m_last = std::chrono::steady_clock::now();
}

} // namespace vell
