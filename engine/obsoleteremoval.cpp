#include "engine/mirroring.h"
#include "engine/walkfolders.h"
#include "engine/walkplan.h"
#include "platform/fileops.h"
#include "platform/mounts.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace vell {

using namespace platform;

namespace {

// What is known of the source folder matching a target folder. Only a
// definite "no such entry" makes target items obsolete: a source that
// cannot be examined for another reason keeps everything. A file where the
// target has a folder keeps the folder, but nothing can exist below it.
enum class SourceState { Present, Missing, FileInstead, Unknown };

// One couple's removal walk; returns false when the user chose Stop.
class RemovalWalk
{
public:
    RemovalWalk(MirrorContext &ctx, CoupleFolders &folders)
        : m_ctx(ctx), m_folders(folders), m_keyWithSubFolders(CoupleKey(folders, true)),
          m_keyWithout(CoupleKey(folders, false)), m_plan(ctx.plan.get())
    {
        // Folders replaced since the mirror walk made the plan: its tree
        // says nothing of these, so they are walked in full, and so is the
        // couple next run.
        if (m_plan && m_plan->key() != CoupleKey(folders, settings().MiroirSousDossiers)) {
            m_plan->couple().tree().markAll();
            m_plan = nullptr;
        }
    }

    void run()
    {
        // A source that vanished since the run checked it (an unmounted disk)
        // must not empty the target; nor is the whole system ever emptied.
        if (!m_folders.target.valid() || !m_folders.source.valid() || isSystemRoot(m_folders.target.get()))
            return;
        UniqueFd source(duplicateFd(m_folders.source.get()));
        const SourceState state = SourceState::Present;
        UniqueFd target(duplicateFd(m_folders.target.get()));
        // The couple's own target folder (empty rel) is never removed.
        (void)walk(QByteArray(), std::move(source), state, std::move(target), -1, 0,
                   m_plan ? m_plan->root() : NoNode);
    }

private:
    [[nodiscard]] const Settings &settings() const { return m_ctx.settings; }
    [[nodiscard]] bool stopped() const { return m_ctx.stopped(); }
    bool yieldAndGoOn() { return m_ctx.yieldAndGoOn(); }
    [[nodiscard]] QString path(const QByteArray &rel, const QByteArray &name = {}) const
    {
        return ItemText(m_folders.targetText, rel, name);
    }

    [[nodiscard]] bool sourceLacks(int srcDir, SourceState state, const QByteArray &name,
                                   const std::vector<QByteArray> *sourceNames) const
    {
        if (state == SourceState::Missing || state == SourceState::FileInstead)
            return true;
        if (state == SourceState::Unknown)
            return false;
        if (sourceNames)
            return !std::binary_search(sourceNames->begin(), sourceNames->end(), name);
        EntryInfo info;
        const int rc = lookUp(srcDir, name, info, false);
        return rc == -ENOENT || rc == -ENOTDIR;
    }

    static SourceState childState(int srcDir, SourceState state, const QByteArray &name, UniqueFd &child)
    {
        if (state == SourceState::FileInstead)
            return SourceState::Missing;
        if (state != SourceState::Present)
            return state;
        const int fd = openFolderAt(srcDir, name);
        if (fd >= 0) {
            child.reset(fd);
            return SourceState::Present;
        }
        EntryInfo info;
        const int rc = lookUp(srcDir, name, info, false);
        if (rc == -ENOENT)
            return SourceState::Missing;
        if (rc == 0 && info.kind != EntryKind::Folder)
            return SourceState::FileInstead;
        return SourceState::Unknown;
    }

    // Removes the (now empty) folder rel; true when it is gone.
    bool removeFolderItself(const QByteArray &rel, int parentTarget)
    {
        const qsizetype slash = rel.lastIndexOf('/');
        const QByteArray name = rel.mid(slash + 1);
        UniqueFd reopened;
        if (parentTarget < 0) {
            EnsureOpen(reopened, m_folders.target.get(), slash < 0 ? QByteArray() : rel.left(slash));
            parentTarget = reopened.get();
        }
        if (parentTarget < 0)
            return false;
        if (const int rc = removeFolder(parentTarget, name); rc != 0) {
            // Not empty yet is the rule for an obsolete tree (one level per
            // run), not a failure.
            if (rc != -ENOTEMPTY && rc != -EEXIST)
                m_ctx.failed(ItemOperation::Delete, true, path(rel), rc);
            else
                ++m_ctx.unsettled; // one level less next run
            return false;
        }
        ++m_ctx.state.totals.FoldersRemoved;
        m_ctx.done(ItemOperation::Delete, true, [&] { return path(rel); });
        return true;
    }

    void deleteObsolete(int targetDir, const QByteArray &rel, const QByteArray &name)
    {
        if (const int rc = deleteFile(targetDir, name); rc != 0) {
            if (rc != -ENOENT)
                m_ctx.failed(ItemOperation::Delete, false, path(rel, name), rc);
            return;
        }
        ++m_ctx.state.totals.FilesRemoved;
        m_ctx.done(ItemOperation::Delete, false, [&] { return path(rel, name); });
    }

    // A mount point inside the target (or one that cannot be told) is left.
    bool crossesMount(int targetDir, const QByteArray &rel, const QByteArray &name)
    {
        bool mount = false;
        const int rc = isMountRoot(targetDir, name, mount);
        if (rc < 0 && rc != -ENOENT)
            m_ctx.failed(ItemOperation::Reading, true, path(rel, name), rc);
        return rc < 0 || mount;
    }

    // The mirror walk that just ran saw nothing obsolete below this folder.
    [[nodiscard]] bool seenClean(const QByteArray &rel) const
    {
        const QByteArray &key = settings().MiroirSousDossiers ? m_keyWithSubFolders : m_keyWithout;
        return m_ctx.cleanTargets.covers(key, rel);
    }

    bool walk(const QByteArray &rel, UniqueFd source, SourceState state, UniqueFd target, int parentTarget,
              int depth, NodeId node)
    {
        if (state == SourceState::Present && seenClean(rel))
            return true;
        if (state != SourceState::Present)
            node = NoNode; // below a folder the source lacks: nothing of it is recorded
        const Visit visit = m_plan && node != NoNode ? m_plan->removalVisit(node) : Visit::Full;
        if (m_plan)
            m_plan->count(visit);
        if (visit == Visit::Skip)
            return true;
        if (visit == Visit::Pass)
            return pass(rel, std::move(source), std::move(target), depth, node);
        if (m_plan)
            m_plan->beginFull(node, RemovalDirty);
        FullVisit full(m_plan, node);
        const bool watched = m_plan && m_plan->watched(node);
        QuietProbe probe(m_ctx);
        bool quiet = true;
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        const int listed = settings().MiroirSousDossiers ? listKinds(target.get(), entries, &extras)
                                                         : listFolder(target.get(), entries, true, &extras);
        for (const QByteArray &name : extras.staleTemporaries)
            (void)removeStaleTemporary(target.get(), name); // a live copy's, or gone: kept, or nothing to do
        if (!extras.staleTemporaries.empty())
            ++m_ctx.unsettled; // a young one is kept and removed by a later run
        if (listed != 0) {
            entries.clear(); // treated as empty: only the folder removal is tried
            m_ctx.failed(ItemOperation::Reading, true, path(rel), listed);
        }
        std::vector<QByteArray> names;
        const std::vector<QByteArray> *sourceNames = nullptr;
        if (state == SourceState::Present && !entries.empty()) {
            if (listNames(source.get(), names) == 0)
                sourceNames = &names; // otherwise: one lookup per item, as before
        }

        std::vector<QByteArray> subFolders;
        for (const EntryInfo &entry : entries) {
            // A source inside its own target is never entered or removed.
            const EntryRole role = RoleOf(entry, settings().MiroirSousDossiers, m_folders.sourceId);
            if (role == EntryRole::PassOver)
                continue;
            if (role != EntryRole::File) {
                if (role == EntryRole::SubFolder)
                    subFolders.push_back(entry.name);
                if (!yieldAndGoOn())
                    return false;
                continue;
            }
            if (sourceLacks(source.get(), state, entry.name, sourceNames))
                deleteObsolete(target.get(), rel, entry.name);
            if (!yieldAndGoOn())
                return false;
        }
        std::vector<EntryInfo>().swap(entries);
        if (m_plan)
            m_plan->targetListed(node, subFolders);
        if (state != SourceState::Present)
            ++m_ctx.unsettled; // acted on (or kept) at every run while it lasts

        // Removed only when empty by now; an obsolete tree loses one level per run.
        if (state == SourceState::Missing && !rel.isEmpty() && removeFolderItself(rel, parentTarget))
            return true;

        for (const QByteArray &name : subFolders) {
            if (stopped())
                return false;
            // Not even opened, unless its source went since the mirror walk
            // saw it: a watched run would not come back for it.
            if (state == SourceState::Present && seenClean(JoinRelative(rel, name))
                && !sourceLacks(source.get(), state, name, sourceNames))
                continue;
            EnsureOpen(target, m_folders.target.get(), rel);
            if (state == SourceState::Present)
                EnsureOpen(source, m_folders.source.get(), rel);
            UniqueFd childSource;
            const SourceState childSourceState = childState(source.get(), state, name, childSource);
            if (crossesMount(target.get(), rel, name))
                continue; // another file system mounted inside the target is never entered
            UniqueFd childTarget = OpenChild(target, name);
            if (!childTarget.valid())
                continue;
            if (depth >= KeepOpenLevels) {
                source.reset();
                target.reset();
            }
            const NodeId child = m_plan ? m_plan->child(node, name) : NoNode;
            if (m_plan && child == NoNode)
                ++m_ctx.unsettled; // target-only: walked, and its failures told, at every run
            // A child the source lacks is not recorded below: this folder
            // reaches it again next run, until it is gone.
            quiet = quiet && probe.quiet(m_ctx) && childSourceState == SourceState::Present;
            if (!walk(JoinRelative(rel, name), std::move(childSource), childSourceState, std::move(childTarget),
                      target.get(), depth + 1, child))
                return false;
            probe.restart(m_ctx);
        }
        quiet = quiet && probe.quiet(m_ctx);
        if (m_plan) {
            m_plan->endRemovalFull(node, quiet && watched);
            full.ended();
        }
        return true;
    }

    // A folder without change of its own: no listing, no deletion; its
    // sub-folders with work below are reached in the order of its target's
    // last listing.
    bool pass(const QByteArray &rel, UniqueFd source, UniqueFd target, int depth, NodeId node)
    {
        bool quiet = true;
        for (const NodeId child : m_plan->childrenByTargetRank(node)) {
            if (stopped())
                return false;
            const QByteArray name = m_plan->name(child);
            QuietProbe probe(m_ctx);
            EnsureOpen(target, m_folders.target.get(), rel);
            EnsureOpen(source, m_folders.source.get(), rel);
            UniqueFd childSource;
            const SourceState childSourceState = childState(source.get(), SourceState::Present, name, childSource);
            if (childSourceState == SourceState::Present && seenClean(JoinRelative(rel, name)))
                continue;
            const bool mount = crossesMount(target.get(), rel, name);
            UniqueFd childTarget = mount ? UniqueFd() : OpenChild(target, name);
            quiet = quiet && probe.quiet(m_ctx) && childSourceState == SourceState::Present;
            if (!childTarget.valid())
                continue;
            if (depth >= KeepOpenLevels) {
                source.reset();
                target.reset();
            }
            if (!walk(JoinRelative(rel, name), std::move(childSource), childSourceState, std::move(childTarget),
                      target.get(), depth + 1, child))
                return false;
        }
        m_plan->endPass(node);
        if (!quiet)
            m_plan->abandon(node); // the folders moved under the walk: visited in full next run
        return true;
    }

    MirrorContext &m_ctx;
    CoupleFolders &m_folders;
    const QByteArray m_keyWithSubFolders;
    const QByteArray m_keyWithout;
    WalkPlan *m_plan; // null: every folder in full, nothing recorded
};

} // namespace

void RemoveObsolete(MirrorContext &ctx, const QString &source, const QString &target)
{
    CoupleFolders folders = OpenCoupleFolders(source, target);
    RemovalWalk(ctx, folders).run();
}

} // namespace vell
