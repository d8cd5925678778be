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

// When the window is full the walk waits until it is half empty, not for one
// place: each wait costs two thread switches, so it is paid once for many
// copies. The copies run in the order handed in, so once the last one that
// must go is done, those before it are nearly always done as well.
const OrderedOutput::Slot *OrderedOutput::lastToDeliver(bool untilRoom) const
{
    size_t copies = m_copies;
    uint64_t bytes = m_bytes;
    const Slot *last = &m_slots.back();
    for (const Slot &slot : m_slots) {
        if (!slot.ticket)
            continue;
        last = &slot;
        copies -= 1;
        bytes -= slot.bytes;
        if (untilRoom && copies <= WindowPlaces / 2 && bytes <= WindowBytes / 2)
            break;
    }
    return last;
}

void OrderedOutput::drain(CopyPool &pool, const std::function<void()> &yield, const std::function<bool()> &stopped,
                          bool untilRoom)
{
    // True once the ticket's outcome is set; false after a slice spent
    // waiting, with the window given a chance to breathe.
    const auto waitFor = [&](const CopyPool::Ticket &ticket) {
        if (!ticket || pool.wait(ticket, {}))
            return true;
        if (stopped && stopped())
            pool.stop();
        if (pool.wait(ticket, Slice))
            return true;
        if (yield)
            yield(); // a Stop is seen
        return false;
    };
    while (!m_slots.empty() && (!untilRoom || full())) {
        const Slot *last = lastToDeliver(untilRoom);
        if (!waitFor(last->ticket))
            continue;
        bool reached = false;
        while (!reached && waitFor(m_slots.front().ticket)) {
            reached = &m_slots.front() == last;
            deliverHead();
        }
    }
}

} // namespace vell
