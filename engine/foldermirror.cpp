#include "engine/copypool.h"
#include "engine/fileoperations.h"
#include "engine/folderlister.h"
#include "engine/mirroring.h"
#include "engine/orderedoutput.h"
#include "engine/walkfolders.h"
#include "engine/walkplan.h"
#include "oplog/logline.h"
#include "platform/fileops.h"
#include "platform/mounts.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

namespace vell {

using namespace platform;

namespace {

// How a folder's walk ended: Stop when the user chose Stop; Clean when the
// folder and everything below it held nothing the source lacks.
enum class Walked { Stop, Dirty, Clean };

using Clock = FolderListing::Clock;

// The removal walk trusts the mirror walk's note only when that walk was
// this short: otherwise what it saw first may be long out of date.
constexpr auto MaxNoteAge = std::chrono::seconds(10);

// One inode in a folder's digest of files with other links.
uint64_t LinkDigest(const EntryInfo &e)
{
    uint64_t x = (uint64_t(e.dev) * 0x9e3779b97f4a7c15ULL) ^ uint64_t(e.ino);
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Both listings of the folder being walked.
struct Listings
{
    std::vector<EntryInfo> source;
    std::vector<EntryInfo> target; // sorted by name
    bool targetListed = false;     // false: each name is looked up instead
    bool targetComplete = false;   // no special file left out: a name not listed is absent
    Clock::time_point targetListedAt;
    bool temporaries = false;      // a temporary-named file in either folder (a young one is kept)
    std::vector<QByteArray> targetFolders; // watched couples: its sub-folders in the order the removal walk meets them
};

// What the target's listing says of one name, when it is recent enough to
// act on: the item, or that there is none. Neither: look the name up.
struct ListedTarget
{
    std::optional<EntryInfo> item;
    bool absent = false;
};

// A sub-folder still to walk, with the listings asked for it.
struct SubFolder
{
    QByteArray name;
    PendingListing source;
    PendingListing target;
    ListedTarget listed;
    Clock::time_point listedAt;
    NodeId node = NoNode; // in the watched couple's tree
    Visit visit = Visit::Full;
};

bool byName(const EntryInfo &a, const EntryInfo &b) { return a.name < b.name; }

const EntryInfo *findByName(const std::vector<EntryInfo> &sorted, const QByteArray &name)
{
    const auto found = std::lower_bound(sorted.begin(), sorted.end(), name,
                                        [](const EntryInfo &e, const QByteArray &n) { return e.name < n; });
    return found != sorted.end() && found->name == name ? &*found : nullptr;
}

bool sameFolder(int fd, const FolderListing &listing)
{
    dev_t dev = 0;
    ino_t ino = 0;
    return identityOf(fd, dev, ino) == 0 && dev == listing.dev && ino == listing.ino;
}

// One couple's mirroring walk. The target's folders are listed as a whole,
// on a second thread where one can be had, while the walk examines the
// source: one listing per folder instead of one lookup per file.
class MirrorWalk
{
public:
    MirrorWalk(MirrorContext &ctx, CoupleFolders &folders) : m_ctx(ctx), m_folders(folders), m_plan(ctx.plan.get())
    {
    }

    void run()
    {
        if (!m_folders.source.valid())
            return;
        const NodeId root = m_plan ? m_plan->root() : NoNode;
        const Visit visit = m_plan ? planVisit(root) : Visit::Full;
        if (visit == Visit::Skip)
            return; // nothing changed anywhere: not even the top is listed
        UniqueFd source(duplicateFd(m_folders.source.get()));
        UniqueFd target(m_folders.target.valid() ? duplicateFd(m_folders.target.get()) : -1);
        if (walk(QByteArray(), std::move(source), std::move(target), 0, {}, {}, root, visit) == Walked::Clean)
            m_ctx.cleanTargets.folders.insert(QByteArray());
        finishCopies();
    }

private:
    [[nodiscard]] const Settings &settings() const { return m_ctx.settings; }
    [[nodiscard]] bool stopped() const { return m_ctx.stopped(); }
    // DOS attributes cost a call per entry: read them only where they matter.
    [[nodiscard]] bool wantDosAttrib() const { return settings().CopierAttributs || !settings().MiroirSousDossiers; }
    // A listing read longer ago than this is read again before the walk acts
    // on it: the folders may have changed meanwhile (a long copy, a user).
    [[nodiscard]] bool recent(Clock::time_point at) const { return Clock::now() - at <= m_ctx.listingMaxAge; }

    [[nodiscard]] QString targetPath(const QByteArray &rel, const QByteArray &name = {}) const
    {
        return ItemText(m_folders.targetText, rel, name);
    }
    [[nodiscard]] QString sourcePath(const QByteArray &rel, const QByteArray &name = {}) const
    {
        return ItemText(m_folders.sourceText, rel, name);
    }

    void done(ItemOperation operation, bool folder, const QByteArray &rel, const QByteArray &name)
    {
        m_ctx.done(operation, folder, [&] { return targetPath(rel, name); });
    }
    void failed(ItemOperation operation, bool folder, const QString &path, int error)
    {
        m_ctx.failed(operation, folder, path, error);
    }

    // The listing asked for this folder when it is the one open as fd and
    // recent, or else a fresh one. Stale temporary files are removed here,
    // by the thread that writes into the folder, and only in the target:
    // nothing in a source is ever deleted by this walk.
    FolderListing takeListing(PendingListing asked, int fd, bool isTarget)
    {
        FolderListing listing;
        if (asked.asked())
            listing = m_lister.take(std::move(asked));
        if (listing.rc != 0 || !sameFolder(fd, listing) || !recent(listing.listedAt))
            listing = ListFolderAt(fd, wantDosAttrib());
        if (!listing.extras.staleTemporaries.empty())
            ++m_ctx.unsettled; // a young one is kept and removed by a later run
        if (isTarget) {
            for (const QByteArray &name : listing.extras.staleTemporaries)
                (void)removeStaleTemporary(fd, name); // a live copy's, or gone: kept, or nothing to do
        }
        return listing;
    }

    // 0, or the -errno of reading the source folder.
    int takeListings(Listings &listed, int srcDir, int tgtDir, PendingListing sourceAsked, PendingListing targetAsked)
    {
        FolderListing source = takeListing(std::move(sourceAsked), srcDir, false);
        if (source.rc != 0)
            return source.rc;
        listed.source = std::move(source.entries);
        if (tgtDir < 0)
            return 0;
        FolderListing target = takeListing(std::move(targetAsked), tgtDir, true);
        if (target.rc != 0)
            ++m_ctx.unsettled; // looked up name by name: its links unseen
        listed.targetListed = target.rc == 0;
        listed.targetComplete = target.rc == 0 && !target.extras.specialsLeftOut;
        listed.targetListedAt = target.listedAt;
        listed.target = std::move(target.entries);
        if (m_plan) {
            for (const EntryInfo &entry : listed.target)
                if (RoleOf(entry, settings().MiroirSousDossiers, m_folders.sourceId) == EntryRole::SubFolder)
                    listed.targetFolders.push_back(entry.name);
        }
        std::sort(listed.target.begin(), listed.target.end(), byName);
        return 0;
    }

    // The target item of this name: the one listed, absent when the listing
    // says so, or else looked up (a special file left out of the listing
    // must not pass for an absent one).
    static int findTarget(int tgtDir, const ListedTarget &listed, const QByteArray &name, bool withDosAttrib,
                          EntryInfo &out)
    {
        if (tgtDir < 0 || listed.absent)
            return -ENOENT;
        if (listed.item) {
            out = *listed.item;
            return 0;
        }
        return lookUp(tgtDir, name, out, withDosAttrib);
    }

    [[nodiscard]] ListedTarget listedTarget(const Listings &listed, const QByteArray &name) const
    {
        ListedTarget view;
        if (!listed.targetListed || !recent(listed.targetListedAt))
            return view;
        if (const EntryInfo *found = findByName(listed.target, name))
            view.item = *found;
        else
            view.absent = listed.targetComplete;
        return view;
    }

    // How many items of the target folder the removal walk would keep at
    // this level for certain: files and links whose name the source has.
    // Folders count only when the source has a folder of that name whose
    // walk found nothing obsolete (see walk()).
    [[nodiscard]] static std::size_t keptFilesHere(const Listings &listed)
    {
        std::vector<QByteArray> names;
        names.reserve(listed.source.size());
        for (const EntryInfo &entry : listed.source)
            names.push_back(entry.name);
        std::sort(names.begin(), names.end());
        std::size_t kept = 0;
        for (const EntryInfo &entry : listed.target)
            if (entry.kind != EntryKind::Folder && std::binary_search(names.begin(), names.end(), entry.name))
                ++kept;
        return kept;
    }

    // Asks for the listings of the sub-folders, last first (see FolderLister),
    // so that they are read while this folder's files are examined. Deep
    // levels, whose paths are long to resolve, list their folders themselves.
    void askListings(const QByteArray &rel, int depth, std::vector<SubFolder> &subFolders)
    {
        if (depth >= KeepOpenLevels)
            return;
        for (auto it = subFolders.rbegin(); it != subFolders.rend(); ++it) {
            if (it->visit != Visit::Full)
                continue; // passed through or over: not listed
            const QByteArray childRel = JoinRelative(rel, it->name);
            if (it->listed.item && it->listed.item->kind == EntryKind::Folder)
                it->target = m_lister.ask(m_folders.target.get(), childRel, wantDosAttrib());
            it->source = m_lister.ask(m_folders.source.get(), childRel, wantDosAttrib());
        }
    }

    // A visit as the watched couple's plan says (Full without a plan): the
    // caller made the decision and, for Full, began the visit before any
    // listing of the folder was asked.
    Walked walk(const QByteArray &rel, UniqueFd source, UniqueFd target, int depth, PendingListing sourceAsked,
                PendingListing targetAsked, NodeId node = NoNode, Visit visit = Visit::Full)
    {
        if (visit == Visit::Pass)
            return pass(rel, std::move(source), std::move(target), depth, node);
        FullVisit full(m_plan, node);
        const bool watched = m_plan && m_plan->watched(node);
        QuietProbe probe(m_ctx);
        bool quiet = true;
        Listings listed;
        if (!source.valid())
            return Walked::Dirty; // reported by the caller
        if (const int rc = takeListings(listed, source.get(), target.get(), std::move(sourceAsked),
                                        std::move(targetAsked));
            rc != 0) {
            // A folder that cannot be read is left with its sub-tree.
            if (rc != -ENOENT)
                failed(ItemOperation::Reading, true, sourcePath(rel), rc);
            return Walked::Dirty;
        }
        bool clean = listed.targetListed;
        const std::size_t targetItems = listed.target.size();
        std::size_t kept = keptFilesHere(listed);

        std::vector<SubFolder> subFolders;
        for (const EntryInfo &entry : listed.source) {
            // A target inside its own source is never mirrored into itself.
            const EntryRole role = RoleOf(entry, settings().MiroirSousDossiers, m_folders.targetId);
            if (role == EntryRole::SubFolder)
                subFolders.push_back(
                    SubFolder{entry.name, {}, {}, listedTarget(listed, entry.name), listed.targetListedAt});
            else if (role == EntryRole::NestedTop)
                clean = false;
        }
        if (m_plan)
            planChildren(node, source.get(), target.get(), subFolders);
        askListings(rel, depth, subFolders);

        // A file with another link may change through it, raising no event
        // here: which inodes have other links (0: none).
        uint64_t linked = 0;
        if (m_plan) {
            for (const std::vector<EntryInfo> *entries : {&listed.source, &listed.target})
                for (const EntryInfo &e : *entries)
                    if (e.kind != EntryKind::Folder && e.links > 1)
                        linked += LinkDigest(e) | 1;
        }
        // Stopped: the sub-folders begun but not reached are visited next run.
        const auto stop = [&](size_t from) {
            for (size_t i = from; m_plan && i < subFolders.size(); ++i)
                if (subFolders[i].visit == Visit::Full)
                    m_plan->abandon(subFolders[i].node);
            return Walked::Stop;
        };
        uint32_t files = 0;
        for (const EntryInfo &entry : listed.source) {
            const EntryRole role = RoleOf(entry, settings().MiroirSousDossiers, m_folders.targetId);
            if (role == EntryRole::PassOver)
                continue;
            if (role == EntryRole::File) {
                if (!applyFileRule(source.get(), target.get(), rel, entry, listed))
                    clean = false; // a target entry of another kind went
                ++m_ctx.state.totals.FilesExamined;
                ++files;
            }
            if (m_output)
                m_output->flush(*m_pool); // copies done by now are told now, not at the next copy
            if (!m_ctx.yieldAndGoOn())
                return stop(0);
        }
        const std::vector<QByteArray> targetFolders = std::move(listed.targetFolders);
        listed = Listings(); // a deep walk keeps only what its sub-folders need

        for (size_t i = 0; i < subFolders.size(); ++i) {
            SubFolder &sub = subFolders[i];
            if (stopped())
                return stop(i);
            EnsureOpen(source, m_folders.source.get(), rel);
            EnsureOpen(target, m_folders.target.get(), rel);
            if (m_plan && !(sub.listed.item && sub.listed.item->kind == EntryKind::Folder))
                m_plan->expectTargetMade(node, sub.name); // its creation replaces nothing
            const bool targetReported = applyFolderRule(source.get(), target.get(), rel, sub);
            clean = clean && sub.visit == Visit::Full;
            const bool targetAsked = sub.listed.item && sub.listed.item->kind == EntryKind::Folder;
            if (m_plan)
                sub.visit = reconsider(sub.node, sub.visit);
            if (sub.visit == Visit::Skip) {
                quiet = quiet && probe.quiet(m_ctx);
                m_ctx.state.totals.FilesExamined += int64_t(m_plan->subtreeFiles(sub.node));
                probe.restart(m_ctx);
                continue;
            }
            // A target folder made (or first seen) just now is watched before
            // it is listed: its listing was not asked.
            if (m_plan && sub.visit == Visit::Full && !targetAsked && sub.node != NoNode
                && m_plan->couple().tree().node(sub.node).targetWd < 0)
                m_plan->watchChild(sub.node, target.get(), sub.name, Side::Target);
            UniqueFd childSource = openChild(source, rel, sub.name, false, false);
            UniqueFd childTarget = openChild(target, rel, sub.name, true, targetReported);
            quiet = quiet && probe.quiet(m_ctx);
            if (depth >= KeepOpenLevels) {
                source.reset();
                target.reset();
            }
            const Walked walked = walk(JoinRelative(rel, sub.name), std::move(childSource), std::move(childTarget),
                                       depth + 1, std::move(sub.source), std::move(sub.target), sub.node, sub.visit);
            probe.restart(m_ctx);
            if (walked == Walked::Stop)
                return stop(i + 1);
            if (walked == Walked::Clean && sub.listed.item && sub.listed.item->kind == EntryKind::Folder)
                ++kept;
            else
                clean = false;
        }
        quiet = quiet && probe.quiet(m_ctx);
        clean = clean && kept == targetItems;
        if (m_plan) {
            if (clean)
                m_plan->targetListed(node, targetFolders); // the removal walk passes it over: its order is this one
            m_plan->endMirrorFull(node, files, quiet && watched, clean, linked);
            full.ended();
        }
        if (clean)
            noteClean(rel, subFolders);
        return clean ? Walked::Clean : Walked::Dirty;
    }

    // Right after a Full visit's listing: the sub-folders get their nodes and
    // their visits; those to visit in full are begun and watched before
    // their listings are asked.
    void planChildren(NodeId node, int srcDir, int tgtDir, std::vector<SubFolder> &subFolders)
    {
        std::vector<QByteArray> names;
        names.reserve(subFolders.size());
        for (const SubFolder &sub : subFolders)
            names.push_back(sub.name);
        m_plan->sourceListed(node, names);
        for (SubFolder &sub : subFolders) {
            sub.node = m_plan->child(node, sub.name);
            sub.visit = m_plan->mirrorVisit(sub.node);
            if (sub.visit != Visit::Full)
                continue;
            m_plan->beginFull(sub.node, MirrorDirty);
            m_plan->watchChild(sub.node, srcDir, sub.name, Side::Source);
            if (sub.listed.item && sub.listed.item->kind == EntryKind::Folder)
                m_plan->watchChild(sub.node, tgtDir, sub.name, Side::Target);
        }
    }

    // The plan's visit of the top or of a child reached through a pass,
    // counted: a Skip counts the files of its sub-tree, a Full begins.
    Visit planVisit(NodeId node)
    {
        const Visit visit = m_plan->mirrorVisit(node);
        m_plan->count(visit);
        if (visit == Visit::Skip)
            m_ctx.state.totals.FilesExamined += int64_t(m_plan->subtreeFiles(node));
        else if (visit == Visit::Full)
            m_plan->beginFull(node, MirrorDirty);
        return visit;
    }

    // A visit decided before the child is reached: an event read meanwhile
    // may ask for more. Counted once, here.
    Visit reconsider(NodeId node, Visit decided)
    {
        Visit visit = decided;
        if (decided != Visit::Full) {
            visit = m_plan->mirrorVisit(node);
            if (visit == Visit::Full)
                m_plan->beginFull(node, MirrorDirty); // nothing of it listed yet
        }
        m_plan->count(visit);
        return visit;
    }

    // A folder without change of its own: no listing, no rule; its files
    // are counted from its last visit and its sub-folders reached in the
    // order of its last listing.
    Walked pass(const QByteArray &rel, UniqueFd source, UniqueFd target, int depth, NodeId node)
    {
        if (!source.valid()) {
            m_plan->abandon(node); // gone since the parent's listing: seen by the parent's next visit
            return Walked::Dirty;
        }
        m_ctx.state.totals.FilesExamined += int64_t(m_plan->ownFiles(node));
        bool quiet = true;
        for (const NodeId child : m_plan->children(node)) {
            if (stopped())
                return Walked::Stop;
            const Visit visit = planVisit(child);
            if (visit == Visit::Skip)
                continue;
            const QByteArray name = m_plan->name(child);
            EnsureOpen(source, m_folders.source.get(), rel);
            EnsureOpen(target, m_folders.target.get(), rel);
            QuietProbe probe(m_ctx);
            UniqueFd childSource = openChild(source, rel, name, false, false);
            UniqueFd childTarget = openChild(target, rel, name, true, false);
            quiet = quiet && probe.quiet(m_ctx);
            if (depth >= KeepOpenLevels) {
                source.reset();
                target.reset();
            }
            if (walk(JoinRelative(rel, name), std::move(childSource), std::move(childTarget), depth + 1, {}, {}, child,
                     visit)
                == Walked::Stop)
                return Walked::Stop;
        }
        m_plan->endPass(node);
        if (!quiet)
            m_plan->abandon(node); // a failure met on the way: visited in full next run
        return Walked::Dirty; // the removal walk relies on its own plan below
    }

    // Opens a sub-folder to walk; one that exists and cannot be opened is
    // reported (unless its failure was reported already). A source folder
    // gone since it was listed is simply passed over.
    UniqueFd openChild(const UniqueFd &parent, const QByteArray &rel, const QByteArray &name, bool isTarget,
                       bool reported)
    {
        if (!parent.valid())
            return UniqueFd();
        const int fd = openFolderAt(parent.get(), name);
        if (fd >= 0)
            return UniqueFd(fd);
        if (fd != -ENOENT && !reported)
            failed(ItemOperation::Reading, true, isTarget ? targetPath(rel, name) : sourcePath(rel, name), fd);
        return UniqueFd();
    }

    // Only the highest clean folders are kept: one entry for a clean tree.
    void noteClean(const QByteArray &rel, const std::vector<SubFolder> &subFolders)
    {
        for (const SubFolder &sub : subFolders)
            m_ctx.cleanTargets.folders.remove(JoinRelative(rel, sub.name));
        if (!rel.isEmpty())
            m_ctx.cleanTargets.folders.insert(rel);
    }

    QByteArray targetNameFor(int srcDir, const QByteArray &name) const
    {
        if (m_ctx.flags.Renommer && m_ctx.system.IsNT)
            return MacintoshTargetName(m_ctx, srcDir, name);
        return name;
    }

    [[nodiscard]] bool outOfDate(const EntryInfo &source, const EntryInfo &target) const
    {
        if (m_ctx.flags.Nouveau)
            return source.lastWrite > target.lastWrite;
        return source.lastWrite != target.lastWrite || source.size != target.size;
    }

    // Whether a target entry of another kind than its source's goes: only
    // when the couple removes obsolete entries (and does not move).
    [[nodiscard]] bool replacesOtherKinds() const { return m_ctx.flags.Effacer && !m_ctx.flags.Deplacer; }

    // The target was listed up to listingMaxAge ago: one made as new as the
    // source since (someone working in it during the run) is kept, as the
    // next run would keep it.
    [[nodiscard]] static bool newerThanTarget(int tgtDir, const EntryInfo &source)
    {
        EntryInfo now;
        return lookUp(tgtDir, source.name, now, false) != 0 || now.kind != EntryKind::File
            || source.lastWrite > now.lastWrite;
    }

    // Copies the source file as a creation or a modification, counts and
    // records it, and in move mode deletes the source once it is safe.
    void copyFile(int srcDir, int tgtDir, const QByteArray &rel, const EntryInfo &source, ItemOperation operation)
    {
        if (tgtDir < 0) {
            ++m_ctx.unsettled;
            return; // the target folder could not be made or opened: reported once for the folder
        }
        if (m_ctx.flags.Nouveau && operation == ItemOperation::Modification && !newerThanTarget(tgtDir, source)) {
            ++m_ctx.unsettled;
            return;
        }
        CopyRequest request;
        request.srcDir = srcDir;
        request.tgtDir = tgtDir;
        request.name = source.name;
        request.written = targetNameFor(srcDir, source.name);
        request.targetAbsent = operation == ItemOperation::Creation;
        request.move = m_ctx.flags.Deplacer;
        request.carryStreams = m_ctx.system.copyCarriesStreams();
        request.isNT = m_ctx.system.IsNT;
        request.copySecurity = settings().CopierSecurite;
        request.proceed = [this] { return m_ctx.yieldAndGoOn(); };
        const auto apply = [this, rel, name = source.name, request](const CopyOutcome &outcome) {
            ApplyCopyOutcome(m_ctx, request, outcome, [&](bool inSource) {
                return inSource ? sourcePath(rel, name) : targetPath(rel, name);
            });
        };
        const bool large = source.size >= OrderedOutput::WindowBytes;
        if (CopyPool::Ticket ticket = pooled() ? m_pool->submit(request, large) : nullptr) {
            // Its outcome is told after this folder's visit has ended: the
            // folder cannot be called quiet.
            ++m_ctx.unsettled;
            m_output->addCopy(std::move(ticket), apply, source.size);
        } else {
            apply(CopyWork(request));
        }
    }

    // Whether this copy goes to the pool (made at the first copy, so that an
    // unchanged run starts no thread), after making room in the window.
    // Never for Renommer couples: two sources may be written to one name.
    bool pooled()
    {
        if (m_copyWorkers <= 0 || m_ctx.flags.Renommer)
            return false;
        if (!m_pool) {
            m_pool = std::make_unique<CopyPool>(m_copyWorkers);
            m_output = std::make_unique<OrderedOutput>(m_ctx.record);
            m_ctx.hold = [output = m_output.get()](const ItemEvent &event) {
                if (!output->holding())
                    return false;
                output->add(event);
                return true;
            };
        }
        m_output->flush(*m_pool);
        if (m_output->full())
            m_output->drain(*m_pool, m_ctx.yield, [this] { return stopped(); }, true);
        return true;
    }

    // The barrier: every copy reported in its place before the removal
    // walk and the totals are read.
    void finishCopies()
    {
        if (!m_output)
            return;
        m_output->drain(*m_pool, m_ctx.yield, [this] { return stopped(); });
        m_ctx.hold = {};
        m_pool.reset();
    }

    // Returns false when a target entry of another kind was removed, so the
    // folder is not clean.
    bool applyFileRule(int srcDir, int tgtDir, const QByteArray &rel, const EntryInfo &source, const Listings &listed)
    {
        EntryInfo target;
        const int found = findTarget(tgtDir, listedTarget(listed, source.name), source.name, wantDosAttrib(), target);
        if (found == -ENOENT || found == -ENOTDIR) {
            copyFile(srcDir, tgtDir, rel, source, ItemOperation::Creation);
            return true;
        }
        if (found != 0) {
            // A target that cannot be examined, or a special file where the
            // source has a file: never overwritten, never a reason to delete
            // a moved source.
            failed(ItemOperation::Creation, false, targetPath(rel, source.name), found == -EINVAL ? EEXIST : found);
            return true;
        }
        if (target.kind == EntryKind::Folder) {
            // A folder where the source has a file: obsolete when the couple
            // removes obsolete entries, then the file takes its place.
            if (!replacesOtherKinds()) {
                failed(ItemOperation::Creation, false, targetPath(rel, source.name), EISDIR);
                return true;
            }
            if (RemoveTargetTree(m_ctx, m_folders, tgtDir, rel, source.name))
                copyFile(srcDir, tgtDir, rel, source, ItemOperation::Creation);
            return false;
        }
        if (outOfDate(source, target)) {
            copyFile(srcDir, tgtDir, rel, source, ItemOperation::Modification);
            return true;
        }
        applyUpToDateRule(srcDir, tgtDir, rel, source, target);
        return true;
    }

    void applyUpToDateRule(int srcDir, int tgtDir, const QByteArray &rel, const EntryInfo &source,
                           const EntryInfo &target)
    {
        if (settings().CopierAttributs && attributesDiffer(source.attributes, target.attributes, target.hasDosAttrib)) {
            if (const int rc = setAttributes(tgtDir, source.name, source.attributes); rc == 0) {
                ++m_ctx.state.totals.AttributesCopied;
                done(ItemOperation::Attributes, false, rel, source.name);
            } else {
                failed(ItemOperation::Attributes, false, targetPath(rel, source.name), rc);
            }
        }
        if (!m_ctx.flags.Deplacer) {
            if (m_ctx.system.IsNT && settings().CopierSecurite && settings().CopierSecuriteTout)
                syncPermissions(srcDir, tgtDir, rel, source.name, false);
            return;
        }
        // Move mode: the target counts as holding the file; the source goes
        // only when the target's bytes prove it.
        CopiedSource seen;
        seen.lastWrite = source.lastWrite;
        seen.size = source.size;
        seen.dev = source.dev;
        seen.ino = source.ino;
        const int moved = DeleteMovedSource(m_ctx, srcDir, source.name, tgtDir, source.name, seen, MoveProof::UpToDate);
        if (moved == 0) {
            ++m_ctx.state.totals.FilesRemoved;
            done(ItemOperation::Delete, false, rel, source.name);
        } else if (moved < 0) {
            failed(ItemOperation::Delete, false, sourcePath(rel, source.name), moved);
        } else {
            ++m_ctx.unsettled; // the source stays: compared again next run
        }
    }

    void syncPermissions(int srcDir, int tgtDir, const QByteArray &rel, const QByteArray &name, bool folder)
    {
        const int rc = SyncPermissions(m_ctx, srcDir, name, tgtDir, name);
        if (rc > 0)
            done(ItemOperation::Security, folder, rel, name);
        else if (rc < 0)
            failed(ItemOperation::Security, folder, targetPath(rel, name), rc);
    }

    // Brings the target folder of a sub-folder in step, or makes it.
    // Returns true when a failure was reported for the target folder.
    bool applyFolderRule(int srcDir, int tgtDir, const QByteArray &rel, const SubFolder &sub)
    {
        const QByteArray &name = sub.name;
        if (tgtDir < 0)
            return true; // its parent could not be made: reported there
        EntryInfo target;
        int found = findTarget(tgtDir, recent(sub.listedAt) ? sub.listed : ListedTarget(), name,
                               settings().CopierAttributs, target);
        // A link where the source has a folder is replaced by a real folder
        // (the walk never goes through it); a file there is obsolete when
        // the couple removes obsolete entries.
        const bool replaceable = found == 0
            && (target.kind == EntryKind::Link || (target.kind == EntryKind::File && replacesOtherKinds()));
        if (replaceable) {
            if (const int rc = deleteFile(tgtDir, name); rc != 0) {
                failed(ItemOperation::Delete, false, targetPath(rel, name), rc);
                return true;
            }
            ++m_ctx.state.totals.FilesRemoved;
            done(ItemOperation::Delete, false, rel, name);
            found = -ENOENT;
        }
        if (found == 0 && target.kind == EntryKind::Folder) {
            syncExistingFolder(srcDir, tgtDir, rel, name, target);
            return false;
        }
        if (found == -ENOENT || found == -ENOTDIR)
            return !createFolderLike(srcDir, tgtDir, rel, name);
        // A file kept where the source has a folder, a special file, or an
        // entry that cannot be examined: the sub-tree cannot be mirrored.
        const int error = found == 0 ? ENOTDIR : found == -EINVAL ? EEXIST : found;
        failed(ItemOperation::Creation, true, targetPath(rel, name), error);
        return true;
    }

    void syncExistingFolder(int srcDir, int tgtDir, const QByteArray &rel, const QByteArray &name,
                            const EntryInfo &target)
    {
        if (settings().CopierAttributs) {
            uint32_t sourceWord = 0;
            if (getAttributes(srcDir, name, sourceWord) == 0
                && attributesDiffer(sourceWord, target.attributes, target.hasDosAttrib)) {
                if (const int rc = setAttributes(tgtDir, name, sourceWord); rc == 0) {
                    ++m_ctx.state.totals.AttributesCopied;
                    done(ItemOperation::Attributes, true, rel, name);
                } else {
                    failed(ItemOperation::Attributes, true, targetPath(rel, name), rc);
                }
            }
        }
        if (m_ctx.system.IsNT && settings().CopierSecurite
            && (settings().CopierSecuriteDossiers || settings().CopierSecuriteTout))
            syncPermissions(srcDir, tgtDir, rel, name, true);
    }

    // False when the folder could not be made (reported).
    bool createFolderLike(int srcDir, int tgtDir, const QByteArray &rel, const QByteArray &name)
    {
        const int rc = createFolder(tgtDir, name);
        if (rc == 0) {
            ++m_ctx.state.totals.FoldersCreated;
            done(ItemOperation::Creation, true, rel, name);
            if (m_ctx.system.IsNT && settings().CopierSecurite) {
                if (const int copied = CopyPermissions(m_ctx, srcDir, name, tgtDir, name); copied < 0)
                    failed(ItemOperation::Security, true, targetPath(rel, name), copied);
            }
        } else {
            failed(ItemOperation::Creation, true, targetPath(rel, name), rc);
        }
        if (m_ctx.system.IsNT)
            (void)copyStream(srcDir, name, tgtDir, name, QByteArrayLiteral("AFP_AfpInfo")); // absent: nothing to copy
        return rc == 0;
    }

    MirrorContext &m_ctx;
    CoupleFolders &m_folders;
    WalkPlan *m_plan; // null: every folder in full, nothing recorded
    FolderLister m_lister;
    // Copies run on this many threads; 0: on the walk's own thread.
    int m_copyWorkers = CopyPool::workersFor(settings().CopiesSimultanees);
    std::unique_ptr<CopyPool> m_pool;
    std::unique_ptr<OrderedOutput> m_output;
};

} // namespace

void MirrorFolder(MirrorContext &ctx, const QString &source, const QString &target)
{
    const Clock::time_point start = Clock::now();
    CoupleFolders folders = OpenCoupleFolders(source, target);
    ctx.cleanTargets = CleanTargets{CoupleKey(folders, ctx.settings.MiroirSousDossiers), {}};
    ctx.plan.reset();
    // Renamed copies depend on the signature table: never watched.
    if (ctx.watchBook && ctx.shape && !ctx.flags.Renommer) {
        if (CoupleWatch *couple = ctx.watchBook->planFor(*ctx.shape, folders))
            ctx.plan = std::make_shared<WalkPlan>(*couple, CoupleKey(folders, ctx.shape->subFolders));
    }
    MirrorWalk(ctx, folders).run();
    // Renamed copies are names the source lacks, made after the target was
    // listed: the removal walk must see them. A long walk's first listings
    // are too old to spare the removal walk its own.
    const bool renamed = ctx.flags.Renommer && ctx.system.IsNT;
    if (renamed || Clock::now() - start > MaxNoteAge)
        ctx.cleanTargets = CleanTargets();
}

} // namespace vell
