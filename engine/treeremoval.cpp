#include "engine/mirroring.h"
#include "engine/walkfolders.h"
#include "platform/fileops.h"
#include "platform/mounts.h"

#include <vector>

namespace vell {

using namespace platform;

namespace {

// Removes a whole target folder, depth first, in one run: every file and
// link, then every folder once it is empty. It never follows a link, never
// crosses into another mount, and never enters the couple's source folder
// when it lies inside the target.
class TreeRemoval
{
public:
    TreeRemoval(MirrorContext &ctx, const CoupleFolders &folders) : m_ctx(ctx), m_folders(folders) {}

    // Removes the sub-folder `name` of the open folder parentFd (at rel).
    bool remove(int parentFd, const QByteArray &rel, const QByteArray &name)
    {
        if (!mayEnter(parentFd, rel, name))
            return false;
        const int fd = openFolderAt(parentFd, name);
        if (fd < 0) {
            m_ctx.failed(ItemOperation::Reading, true, path(rel, name), fd);
            return false;
        }
        if (!empty(UniqueFd(fd), JoinRelative(rel, name), 0))
            return false;
        return removeEmptied(parentFd, rel, name);
    }

private:
    [[nodiscard]] QString path(const QByteArray &rel, const QByteArray &name) const
    {
        return ItemText(m_folders.targetText, rel, name);
    }

    // Neither another mount nor the couple's own source folder is removed.
    bool mayEnter(int parentFd, const QByteArray &rel, const QByteArray &name)
    {
        EntryInfo info;
        bool mount = false;
        if (lookUp(parentFd, name, info, false) == 0 && m_folders.sourceId.is(info.dev, info.ino)) {
            m_ctx.failed(ItemOperation::Delete, true, path(rel, name), EBUSY);
            return false;
        }
        if (const int rc = isMountRoot(parentFd, name, mount); rc < 0 || mount) {
            m_ctx.failed(ItemOperation::Delete, true, path(rel, name), rc < 0 ? rc : EBUSY);
            return false;
        }
        return true;
    }

    bool removeEmptied(int parentFd, const QByteArray &rel, const QByteArray &name)
    {
        if (const int rc = removeFolder(parentFd, name); rc != 0) {
            m_ctx.failed(ItemOperation::Delete, true, path(rel, name), rc);
            return false;
        }
        ++m_ctx.state.totals.FoldersRemoved;
        m_ctx.done(ItemOperation::Delete, true, [&] { return path(rel, name); });
        return true;
    }

    // Empties the open folder `dir` at rel; true when nothing is left in it.
    bool empty(UniqueFd dir, const QByteArray &rel, int depth)
    {
        std::vector<EntryInfo> entries;
        ListingExtras extras;
        const int rc = listKinds(dir.get(), entries, &extras);
        for (const QByteArray &name : extras.staleTemporaries)
            (void)removeStaleTemporary(dir.get(), name); // a live one keeps the folder, as it must
        if (rc < 0) {
            m_ctx.failed(ItemOperation::Reading, true, ItemText(m_folders.targetText, rel), rc);
            return false;
        }
        bool emptied = true;
        for (const EntryInfo &entry : entries) {
            if (entry.kind == EntryKind::Folder)
                emptied = emptyFolder(dir, rel, entry.name, depth) && emptied;
            else
                emptied = deleteItem(dir.get(), rel, entry.name) && emptied;
            if (!m_ctx.yieldAndGoOn())
                return false;
        }
        return emptied;
    }

    bool emptyFolder(UniqueFd &dir, const QByteArray &rel, const QByteArray &name, int depth)
    {
        if (!mayEnter(dir.get(), rel, name))
            return false;
        const int fd = openFolderAt(dir.get(), name);
        if (fd < 0) {
            m_ctx.failed(ItemOperation::Reading, true, path(rel, name), fd);
            return false;
        }
        // Deep trees close their parents while they go down.
        if (depth >= KeepOpenLevels)
            dir.reset();
        const bool emptied = empty(UniqueFd(fd), JoinRelative(rel, name), depth + 1);
        EnsureOpen(dir, m_folders.target.get(), rel);
        return emptied && dir.valid() && removeEmptied(dir.get(), rel, name);
    }

    bool deleteItem(int dirFd, const QByteArray &rel, const QByteArray &name)
    {
        if (const int rc = deleteFile(dirFd, name); rc != 0) {
            m_ctx.failed(ItemOperation::Delete, false, path(rel, name), rc);
            return false;
        }
        ++m_ctx.state.totals.FilesRemoved;
        m_ctx.done(ItemOperation::Delete, false, [&] { return path(rel, name); });
        return true;
    }

    MirrorContext &m_ctx;
    const CoupleFolders &m_folders;
};

} // namespace

bool RemoveTargetTree(MirrorContext &ctx, const CoupleFolders &folders, int parentFd, const QByteArray &rel,
                      const QByteArray &name)
{
    return TreeRemoval(ctx, folders).remove(parentFd, rel, name);
}

} // namespace vell
