#pragma once

#include "engine/copypool.h"
#include "engine/mirrorcontext.h"

#include <deque>
#include <functional>
#include <optional>

namespace vell {

// A walk's events in the order a sequential walk gives them while some of
// its copies run on a pool: a copy holds its place until its outcome is
// applied at the head, and every event after it waits behind it. Walk
// thread only.
class OrderedOutput final
{
public:
    // A copy at least this large fills the window alone.
    static constexpr uint64_t WindowBytes = 64ULL << 20;

    explicit OrderedOutput(ItemRecorder deliver) : m_deliver(std::move(deliver)) {}

    // Whether events must go through add() to keep their place.
    [[nodiscard]] bool holding() const { return !m_slots.empty() && !m_applying; }
    // A copy's place; `apply` counts and records its outcome at the head.
    void addCopy(CopyPool::Ticket ticket, std::function<void(const CopyOutcome &)> apply, uint64_t bytes);
    // An event: delivered at once unless held behind a copy.
    void add(const ItemEvent &event);
    // Delivers from the head: copies done, events, up to the first copy
    // still running.
    void flush(CopyPool &pool);
    // 64 places or WindowBytes of copies held: the walk waits before adding.
    [[nodiscard]] bool full() const;
    // Waits in slices of 20 ms, calling `yield` between slices, until
    // nothing is held. Once `stopped()`, the pool is stopped; every copy is
    // still waited for and reported in order.
    // untilRoom: only until the window is half empty.
    void drain(CopyPool &pool, const std::function<void()> &yield, const std::function<bool()> &stopped,
               bool untilRoom = false);

private:
    struct Slot
    {
        CopyPool::Ticket ticket; // null: an event
        std::function<void(const CopyOutcome &)> apply;
        uint64_t bytes = 0;
        std::optional<ItemEvent> event;
    };
    void deliverHead();
    [[nodiscard]] const Slot *lastToDeliver(bool untilRoom) const;

    ItemRecorder m_deliver;
    std::deque<Slot> m_slots;
    uint64_t m_bytes = 0;
    size_t m_copies = 0;
    bool m_applying = false;
};

} // namespace vell
