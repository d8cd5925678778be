#pragma once

#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/runstate.h"
#include "oplog/itemevent.h"
#include "platform/systeminfo.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace vell {

class WalkPlan;
class WatchBook;
struct RunShape;

// The modes of the couple being mirrored, taken just before its walk.
struct RunFlags
{
    bool Deplacer = false;
    bool Renommer = false;
    bool Nouveau = false;
    bool Effacer = false; // a target entry of another kind than its source's is obsolete too
};

// Receives what the walks did and failed to do: the done items only when
// file lines are logged, every failure always.
using ItemRecorder = std::function<void(const ItemEvent &event)>;
// Lets the interface breathe and takes a stop request: the walk reads
// MirroringOff right after it.
using YieldFunction = std::function<void()>;

// The extension of a Finder signature (type + creator), empty when unknown.
using ExtensionLookup = std::function<QString(const QString &signature)>;

// What a couple's mirror walk saw of its target, for the removal walk that
// follows it: the target folders (relative to the target, "" for the target
// itself) whose whole sub-tree held nothing the source lacks when the two
// were listed. The removal walk passes them over instead of listing both
// trees again; a folder not noted is walked as ever.
struct CleanTargets
{
    QByteArray couple; // the couple's folders and mode, as CoupleKey() gives them
    QSet<QByteArray> folders;

    [[nodiscard]] bool covers(const QByteArray &coupleKey, const QByteArray &rel) const
    {
        return !couple.isEmpty() && coupleKey == couple && folders.contains(rel);
    }
};

// Everything one couple's walks read and write. The settings are read at
// each use, so a change made during a yield takes effect at once.
struct MirrorContext
{
    const Settings &settings;
    const SystemInfo &system;
    RunState &state;
    RunFlags flags;
    YieldFunction yield;                   // empty: no yield
    ItemRecorder record;                   // empty: events are dropped (failures still counted)
    ExtensionLookup ExtensionForSignature; // empty: no extension is known
    CleanTargets cleanTargets;             // left by MirrorFolder for RemoveObsolete
    // A listing read longer ago than this is read again before the walk acts
    // on it (tests shorten it instead of waiting).
    std::chrono::steady_clock::duration listingMaxAge = std::chrono::seconds(1);
    // Watched runs: the process's watches (null: every folder is read) and
    // the couple's shape; the plan MirrorFolder got, kept for RemoveObsolete.
    WatchBook *watchBook = nullptr;
    const RunShape *shape = nullptr;
    std::shared_ptr<WalkPlan> plan{};
    // Bumped where a full run would act again next time without counting
    // anything now (a copy left undone quietly, a source kept, a young
    // temporary...): the folder is not quiet.
    int64_t unsettled = 0;
    // While copies run on other threads: keeps an event in its place behind
    // them (true), or lets it be recorded at once (false). Empty: at once.
    std::function<bool(const ItemEvent &event)> hold{};

    [[nodiscard]] bool logsFiles() const { return settings.Logs && settings.FichiersLogs; }
    [[nodiscard]] bool stopped() const { return state.MirroringOff; }

    // Yields, then tells whether the walk may go on.
    bool yieldAndGoOn() const
    {
        if (yield)
            yield();
        return !stopped();
    }

    // An item done: recorded when file lines are logged. `path` is built
    // only then.
    template<typename PathOf>
    void done(ItemOperation operation, bool folder, PathOf &&path) const
    {
        if (logsFiles() && record)
            deliver(ItemEvent{operation, folder, path(), 0});
    }

    // An item that could not be done (error: -errno or errno): counted and
    // always recorded.
    void failed(ItemOperation operation, bool folder, const QString &path, int error) const
    {
        ++state.totals.Failures;
        if (record)
            deliver(ItemEvent{operation, folder, path, error < 0 ? -error : error});
    }

    void deliver(const ItemEvent &event) const
    {
        if (!hold || !hold(event))
            record(event);
    }
};

} // namespace vell
