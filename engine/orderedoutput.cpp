#include "engine/orderedoutput.h"

namespace vell {

namespace {
constexpr size_t WindowPlaces = 64;
constexpr std::chrono::milliseconds Slice(20);
} // namespace

void OrderedOutput::addCopy(CopyPool::Ticket ticket, std::function<void(const CopyOutcome &)> apply, uint64_t bytes)
{
    m_bytes += bytes;
    ++m_copies;
    m_slots.push_back(Slot{std::move(ticket), std::move(apply), bytes, std::nullopt});
}

void OrderedOutput::add(const ItemEvent &event)
{
    if (!holding()) {
        if (m_deliver)
            m_deliver(event);
        return;
    }
    m_slots.push_back(Slot{nullptr, {}, 0, event});
}

bool OrderedOutput::full() const { return m_copies >= WindowPlaces || m_bytes >= WindowBytes; }

// The head slot leaves the queue before its outcome is applied: what the
// outcome records comes before everything still held.
void OrderedOutput::deliverHead()
{
    Slot head = std::move(m_slots.front());
    m_slots.pop_front();
    if (!head.ticket) {
        if (m_deliver)
            m_deliver(*head.event);
        return;
    }
    m_bytes -= head.bytes;
    --m_copies;
    m_applying = true;
    head.apply(head.ticket->outcome);
    m_applying = false;
}

void OrderedOutput::flush(CopyPool &pool)
{
    while (!m_slots.empty() && (!m_slots.front().ticket || pool.wait(m_slots.front().ticket, {})))
        deliverHead();
}

void OrderedOutput::drain(CopyPool &pool, const std::function<void()> &yield, const std::function<bool()> &stopped,
                          bool untilRoom)
{
    while (!m_slots.empty() && (!untilRoom || full())) {
        if (stopped && stopped())
            pool.stop();
        const Slot &head = m_slots.front();
        if (head.ticket && !pool.wait(head.ticket, Slice)) {
            if (yield)
                yield(); // the window keeps breathing, and a Stop is seen
            continue;
        }
        deliverHead();
    }
}

} // namespace vell
