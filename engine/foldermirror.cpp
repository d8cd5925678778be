#include "engine/fileoperations.h"
#include "engine/mirroring.h"
#include "engine/walkfolders.h"
#include "oplog/logline.h"
#include "platform/fileops.h"

#include <cerrno>
#include <vector>

namespace vell {

using namespace platform;

namespace {

// One couple's mirroring walk. Every step returns false when the walk must
// end: the user chose Stop, or a wanted log line could not be written.
class MirrorWalk
{
public:
    MirrorWalk(MirrorContext &ctx, CoupleFolders &folders) : m_ctx(ctx), m_folders(folders) {}

    void run()
    {
        if (!m_folders.source.valid())
            return;
        UniqueFd source(::dup(m_folders.source.get()));
        UniqueFd target(m_folders.target.valid() ? ::dup(m_folders.target.get()) : -1);
        (void)walk(QByteArray(), std::move(source), std::move(target), 0);
    }

private:
    [[nodiscard]] const Settings &settings() const { return m_ctx.settings; }
    [[nodiscard]] bool stopped() const { return m_ctx.state.MirroringOff; }
    // DOS attributes cost a call per entry: read them only where they matter.
    [[nodiscard]] bool wantDosAttrib() const { return settings().CopierAttributs || !settings().MiroirSousDossiers; }

    bool yieldAndGoOn()
    {
        YieldToInterface(m_ctx.settings, m_ctx.host);
        return !stopped();
    }

    bool logFile(const QString &words, const QByteArray &rel, const QByteArray &name)
    {
        if (!m_ctx.logsFiles())
            return true;
        return m_ctx.logLine(FileLogLine(words, ItemText(m_folders.targetText, rel, name)));
    }

    bool logFolder(const QString &words, const QByteArray &rel, const QByteArray &name)
    {
        if (!m_ctx.logsFiles())
            return true;
        return m_ctx.logLine(FolderLogLine(words, ItemText(m_folders.targetText, rel, name)));
    }

    bool walk(const QByteArray &rel, UniqueFd source, UniqueFd target, int depth)
    {
        std::vector<EntryInfo> entries;
        if (!source.valid() || listFolder(source.get(), entries, wantDosAttrib()) != 0)
            return true; // a folder that cannot be listed is left with its sub-tree

        std::vector<QByteArray> subFolders;
        for (const EntryInfo &entry : entries) {
            // A target inside its own source is never mirrored into itself.
            const EntryRole role = RoleOf(entry, settings().MiroirSousDossiers, m_folders.targetId);
            if (role == EntryRole::PassOver)
                continue;
            if (role != EntryRole::File) {
                if (role == EntryRole::SubFolder)
                    subFolders.push_back(entry.name);
                if (!yieldAndGoOn())
                    return false;
                continue;
            }
            const bool logged = applyFileRule(source.get(), target.get(), rel, entry);
            ++m_ctx.state.totals.FilesExamined;
            if (!logged)
                return false;
            if (!yieldAndGoOn())
                return false;
        }
        std::vector<EntryInfo>().swap(entries); // a deep walk keeps only names

        for (const QByteArray &name : subFolders) {
            if (stopped())
                return false;
            EnsureOpen(source, m_folders.source.get(), rel);
            EnsureOpen(target, m_folders.target.get(), rel);
            if (!applyFolderRule(source.get(), target.get(), rel, name))
                return false;
            UniqueFd childSource = OpenChild(source, name);
            UniqueFd childTarget = OpenChild(target, name);
            if (depth >= KeepOpenLevels) {
                source.reset();
                target.reset();
            }
            if (!walk(JoinRelative(rel, name), std::move(childSource), std::move(childTarget), depth + 1))
                return false;
        }
        return true;
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

    // Returns false only when a wanted log line could not be written.
    bool applyFileRule(int srcDir, int tgtDir, const QByteArray &rel, const EntryInfo &source)
    {
        EntryInfo target;
        const int found = tgtDir >= 0 ? lookUp(tgtDir, source.name, target, wantDosAttrib()) : -ENOENT;
        if (found == -ENOENT || found == -ENOTDIR) {
            if (CopyOneFile(m_ctx, srcDir, source.name, tgtDir, targetNameFor(srcDir, source.name), true)) {
                ++m_ctx.state.totals.FilesCreated;
                return logFile(m_ctx.words.LogWordCreation, rel, source.name);
            }
            return true;
        }
        // A target that cannot be examined, or a folder or special file where
        // the source has a file, is left alone: never overwritten, and never
        // a reason to delete a moved source.
        if (found != 0 || target.kind == EntryKind::Folder)
            return true;

        if (outOfDate(source, target)) {
            if (CopyOneFile(m_ctx, srcDir, source.name, tgtDir, targetNameFor(srcDir, source.name))) {
                ++m_ctx.state.totals.FilesModified;
                return logFile(m_ctx.words.LogWordModification, rel, source.name);
            }
            return true;
        }
        return applyUpToDateRule(srcDir, tgtDir, rel, source, target);
    }

    bool applyUpToDateRule(int srcDir, int tgtDir, const QByteArray &rel, const EntryInfo &source,
                           const EntryInfo &target)
    {
        const LogWords &words = m_ctx.words;
        if (settings().CopierAttributs && attributesDiffer(source.attributes, target.attributes, target.hasDosAttrib)
            && setAttributes(tgtDir, source.name, source.attributes) == 0) {
            ++m_ctx.state.totals.AttributesCopied;
            if (!logFile(words.LogWordModification + QLatin1Char(' ') + words.LogWordAttributes, rel, source.name))
                return false;
        }
        if (!m_ctx.flags.Deplacer) {
            if (m_ctx.system.IsNT && settings().CopierSecurite && settings().CopierSecuriteTout
                && SyncPermissions(m_ctx, srcDir, source.name, tgtDir, source.name))
                return logFile(words.LogWordSecurity, rel, source.name);
            return true;
        }
        if (removeCopiedSource(srcDir, tgtDir, source, target)) {
            ++m_ctx.state.totals.FilesRemoved;
            return logFile(words.LogWordDelete, rel, source.name);
        }
        return true;
    }

    // Move mode, the target already holds the file: the source goes, but only
    // when it is not the target itself, has not changed since it was listed,
    // and the target's data are on disk.
    static bool removeCopiedSource(int srcDir, int tgtDir, const EntryInfo &source, const EntryInfo &target)
    {
        if (source.dev == target.dev && source.ino == target.ino)
            return false;
        if (target.kind == EntryKind::File && flushFile(tgtDir, source.name) != 0)
            return false;
        EntryInfo now;
        if (lookUp(srcDir, source.name, now, false) != 0 || now.lastWrite != source.lastWrite
            || now.size != source.size || now.ino != source.ino)
            return false;
        return deleteFile(srcDir, source.name) == 0;
    }

    // Returns false only when a wanted log line could not be written.
    bool applyFolderRule(int srcDir, int tgtDir, const QByteArray &rel, const QByteArray &name)
    {
        EntryInfo target;
        int found = tgtDir >= 0 ? lookUp(tgtDir, name, target, settings().CopierAttributs) : -ENOENT;
        // A link where the source has a folder is replaced by a real folder;
        // the walk never goes through it.
        if (found == 0 && target.kind == EntryKind::Link && deleteFile(tgtDir, name) == 0)
            found = -ENOENT;
        if (found == 0 && target.kind == EntryKind::Folder)
            return syncExistingFolder(srcDir, tgtDir, rel, name, target);
        if (found == -ENOENT || found == -ENOTDIR)
            return createFolderLike(srcDir, tgtDir, rel, name);
        return true;
    }

    bool syncExistingFolder(int srcDir, int tgtDir, const QByteArray &rel, const QByteArray &name,
                            const EntryInfo &target)
    {
        const LogWords &words = m_ctx.words;
        if (settings().CopierAttributs) {
            uint32_t sourceWord = 0;
            if (getAttributes(srcDir, name, sourceWord) == 0
                && attributesDiffer(sourceWord, target.attributes, target.hasDosAttrib)
                && setAttributes(tgtDir, name, sourceWord) == 0) {
                ++m_ctx.state.totals.AttributesCopied;
                if (!logFolder(words.LogWordModification + QLatin1Char(' ') + words.LogWordAttributes
                                   + QLatin1Char(' ') + words.LogWordFolder,
                               rel, name))
                    return false;
            }
        }
        if (m_ctx.system.IsNT && settings().CopierSecurite
            && (settings().CopierSecuriteDossiers || settings().CopierSecuriteTout)
            && SyncPermissions(m_ctx, srcDir, name, tgtDir, name))
            return logFolder(words.LogWordSecurity + QLatin1Char(' ') + words.LogWordFolder, rel, name);
        return true;
    }

    bool createFolderLike(int srcDir, int tgtDir, const QByteArray &rel, const QByteArray &name)
    {
        bool logged = true;
        if (tgtDir >= 0 && createFolder(tgtDir, name) == 0) {
            ++m_ctx.state.totals.FoldersCreated;
            const LogWords &words = m_ctx.words;
            logged = logFolder(words.LogWordCreation + QLatin1Char(' ') + words.LogWordFolder, rel, name);
            if (m_ctx.system.IsNT && settings().CopierSecurite)
                CopyPermissions(m_ctx, srcDir, name, tgtDir, name);
        }
        if (m_ctx.system.IsNT && tgtDir >= 0)
            (void)copyStream(srcDir, name, tgtDir, name, QByteArrayLiteral("AFP_AfpInfo")); // absent: nothing to copy
        return logged;
    }

    MirrorContext &m_ctx;
    CoupleFolders &m_folders;
};

} // namespace

void MirrorFolder(MirrorContext &ctx, const QString &source, const QString &target)
{
    CoupleFolders folders = OpenCoupleFolders(source, target);
    MirrorWalk(ctx, folders).run();
}

} // namespace vell
