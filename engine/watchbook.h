#pragma once

// The watches of every watched couple, and when a couple's run may trust
// them. Events only set flags on the couples' folder trees; any doubt makes
// the couple's next run a full one.

#include "config/settings.h"
#include "engine/mirrorcontext.h"
#include "engine/runtexts.h"
#include "engine/watchtree.h"
#include "platform/uniquefd.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

class QSocketNotifier;

namespace vell {

struct CoupleFolders;
class WatchBook;

// Every option that shapes a run's decisions: any difference means a full
// run. Renommer couples are never watched (their names depend on the
// signature table), so it has no field here.
struct RunShape
{
    bool subFolders = true, attributes = false, security = false, securityFolders = false, securityAll = false;
    bool isNT = true, carryStreams = true;
    bool deplacer = false, nouveau = false, effacer = false;
    friend bool operator==(const RunShape &, const RunShape &) = default;
};

// The shape of a couple's run with these options and modes.
[[nodiscard]] inline RunShape RunShapeOf(const Settings &s, const SystemInfo &system, const RunFlags &flags)
{
    return {s.MiroirSousDossiers, s.CopierAttributs, s.CopierSecurite, s.CopierSecuriteDossiers, s.CopierSecuriteTout,
            system.IsNT, system.copyCarriesStreams(), flags.Deplacer, flags.Nouveau, flags.Effacer};
}

// Folders of all couples together, past which a couple is not watched
// (about 110 bytes each): the process stays small whatever the trees.
constexpr uint32_t WatchedFolderCap = 131072;

// One inotify record, as the platform layer reads it.
struct WatchEventRecord
{
    int32_t wd = -1;
    uint32_t mask = 0;
    uint32_t cookie = 0;
    QByteArray name;
};

// The kernel side, injected so that the policy can be tried on its own.
// Each returns what its platform/inotify.h namesake returns (-errno on
// failure). openMountTable may be empty (no mount watch).
struct WatchSystem
{
    std::function<int()> open;
    std::function<int(int inotifyFd, int dirFd, const QByteArray &name)> watchAt;
    std::function<int(int inotifyFd, int fd)> watchFd;
    std::function<int(int inotifyFd, int wd)> unwatch;
    std::function<int(int inotifyFd, std::vector<WatchEventRecord> &out)> read;
    std::function<int64_t()> maxUserWatches;
    std::function<int(int fd, bool &watchable, QByteArray &typeName)> fileSystemWatchable;
    std::function<int64_t()> bootClock; // nanoseconds, suspended time included
    std::function<int()> openMountTable;
    // The link count of the file at path: 1 for another kind, 0 when it is
    // gone, -errno when it cannot be told. Empty: names are never looked up.
    std::function<int64_t(const QByteArray &path)> links;
};

struct WatchStats
{
    int64_t watchedRuns = 0; // runs that trusted the watches
    int64_t fullRuns = 0;    // runs that visited every folder (the first, doubts, the safety net)
    int64_t fullFolders = 0, passFolders = 0, skipFolders = 0; // counted by the walks' plans
    int64_t watches = 0;     // wds held now
    int64_t folders = 0;     // nodes of every tree now
};

// One couple's watches and folder tree, handed to its walks for one run
// through WatchBook::planFor. Once refused (too many folders, a refusing
// kernel) it stops watching at once: every call below is then a no-op, and
// the plan must treat every folder as Full. Its tree keeps the nodes (ids
// the walk holds stay valid) until finishCouple frees them.
class CoupleWatch
{
public:
    [[nodiscard]] bool watching() const { return m_state == State::Watching; }
    // This run started with every folder Dirty.
    [[nodiscard]] bool fullRun() const { return m_full; }
    [[nodiscard]] FolderTree &tree() { return m_tree; }
    [[nodiscard]] const FolderTree &tree() const { return m_tree; }
    [[nodiscard]] const QString &source() const { return m_source; }
    [[nodiscard]] const QString &target() const { return m_target; }
    [[nodiscard]] WatchBook &book() const { return *m_book; }
    // The next run visits every folder (the tree and watches stay).
    void fullNextRun() { m_fullNext = true; }

    // A Full mirror visit's source sub-folders, right after the listing:
    // children keep or get nodes; dropped ones lose their watches. Past the
    // folder cap the couple is refused.
    void sourceListed(NodeId node, const std::vector<QByteArray> &subFolders);
    void targetListed(NodeId node, const std::vector<QByteArray> &targetSubFolders);
    // Watches sub-folder `name` of parentFd for node `child` (NoNode: a
    // folder without node, not watched), before it is listed. Failures are
    // handled here: EACCES/ENOENT make the node Volatile, ENOSPC/ENOMEM or
    // the budget refuse the couple, anything else is a doubt.
    void watchChild(NodeId child, int parentFd, const QByteArray &name, Side side);
    // The walk is about to make the target folder `name` in the parent's
    // target: its creation event says nothing was replaced there.
    void expectTargetMade(NodeId parent, const QByteArray &name);
    // The same through an open folder (the tops, deep levels).
    void watchFolder(NodeId node, int fd, Side side);
    // A sub-folder on another device than its parent: a file system that
    // does not report every change refuses the couple.
    void checkFileSystem(int fd);

private:
    friend class WatchBook;
    enum class State { Watching, Refused };

    void handleWatch(NodeId node, Side side, int rc);
    void refuse(WatchFallback why);

    WatchBook *m_book = nullptr;
    uint16_t m_index = 0; // in the book's couples
    QString m_source, m_target;
    RunShape m_shape;
    QByteArray m_key; // CoupleKey() of the folders watched
    FolderTree m_tree;
    State m_state = State::Watching;
    bool m_new = true;
    bool m_doubt = false;
    bool m_full = false;
    bool m_fullNext = false;
    bool m_refusedThisRun = false;
    int64_t m_lastFullRun = 0; // bootClock at the start of the last complete full run
    int64_t m_runStart = 0;
    int64_t m_held = 0;        // watch references this couple holds
    int64_t m_neededAfter = 0; // folders met after a refusal for lack of watches
    WatchFallback m_why;
};

// One per process, owned by the controller while Surveillance is on. Its
// own notifier drains events whenever the event loop runs; runs drain too.
class WatchBook final : public QObject
{
    Q_OBJECT
public:
    WatchBook(const Settings &settings, WatchSystem system, QObject *parent = nullptr);
    ~WatchBook() override;

    // Reads every pending event and applies it.
    void drain();
    // drain() at most every 5 ms: for the yields of a long run.
    void drainIfDue();
    // Applies events already read: flags only, never a tree change.
    void apply(const std::vector<WatchEventRecord> &events);
    // The mount table changed: a mount over a watched folder raises no event.
    void mountTableChanged();

    // The couple's state for this run, right after its folders are opened,
    // or nullptr: not watched (refused, a file system that does not report
    // every change, inotify unavailable, a top not open). Never call it for
    // a Renommer couple. A full run has every node Dirty and the tops
    // watched already.
    [[nodiscard]] CoupleWatch *planFor(const RunShape &shape, const CoupleFolders &folders);
    // After the couple's walks; a complete full run restarts the safety-net
    // delay. Accepts nullptr.
    void finishCouple(CoupleWatch *couple, bool stopped);
    // After a run: forgets the couples `live` rejects, with their watches.
    void retain(const std::function<bool(const QString &source, const QString &target, const RunShape &)> &live);
    // Why couples are not watched, each said once per couple and process,
    // as "text: source folder".
    [[nodiscard]] QStringList takeNotes(int32_t langue);
    [[nodiscard]] const WatchStats &stats() const { return m_stats; }
    [[nodiscard]] WatchStats &stats() { return m_stats; }

private:
    friend class CoupleWatch;
    struct Slot
    {
        NodeId node;
        uint16_t couple;
        Side side;
    };
    struct Note
    {
        WatchFallback why;
        QString folder;
    };

    void addRef(CoupleWatch &couple, NodeId node, Side side, int32_t wd);
    void releaseRef(CoupleWatch &couple, NodeId node, Side side, int32_t wd);
    void releaseAll(CoupleWatch &couple, std::vector<DroppedWatch> &dropped);
    // Releases the dropped watches: every slot first, then the kernel's
    // watches, reading the queue now and then, as each removal queues an
    // IGNORED event and a large tree's would overflow it.
    void release(CoupleWatch &couple, const std::vector<DroppedWatch> &dropped);
    void applyOne(const WatchEventRecord &event);
    void checkNewName(CoupleWatch &couple, NodeId node, Side side, const QByteArray &name);
    void doubtAll();
    void dropRefused(CoupleWatch &couple); // frees its tree, says why once
    void queueNote(CoupleWatch &couple);
    [[nodiscard]] int64_t budget() const { return m_budget; }

    const Settings &m_settings;
    WatchSystem m_system;
    platform::UniqueFd m_fd;
    platform::UniqueFd m_mounts;
    int64_t m_budget = 0;
    std::vector<std::unique_ptr<CoupleWatch>> m_couples; // holes reused
    std::unordered_multimap<int32_t, Slot> m_index;       // wd -> every node watching through it
    std::unordered_map<uint32_t, std::vector<uint16_t>> m_movedFrom; // cookie -> couples of a folder moved away
    std::set<std::pair<int32_t, QByteArray>> m_madeByWalk; // (parent's target wd, name) about to be made
    std::vector<Note> m_notes;
    QStringList m_noted; // couples already told about, "source\ntarget"
    WatchStats m_stats;
    std::chrono::steady_clock::time_point m_lastDrain;
    QSocketNotifier *m_notifier = nullptr;
    QSocketNotifier *m_mountNotifier = nullptr;
};

} // namespace vell
