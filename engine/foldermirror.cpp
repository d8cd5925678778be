#include "engine/fileoperations.h"
#include "engine/folderlister.h"
#include "engine/mirroring.h"
#include "engine/walkfolders.h"
#include "oplog/logline.h"
#include "platform/fileops.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace vell {

using namespace platform;

namespace {

// How a folder's walk ended: Stop when the whole walk must end (the user
// chose Stop, or a wanted log line could not be written); Clean when the
// folder and everything below it held nothing the source lacks.
enum class Walked { Stop, Dirty, Clean };

using Clock = FolderListing::Clock;

// A listing read longer ago than this is read again before the walk acts
// on it: the folders may have changed meanwhile (a long copy, a user).
constexpr auto MaxListingAge = std::chrono::seconds(1);
// The removal walk trusts the mirror walk's note only when that walk was
// this short: otherwise what it saw first may be long out of date.
constexpr auto MaxNoteAge = std::chrono::seconds(10);

bool recent(Clock::time_point at) { return Clock::now() - at <= MaxListingAge; }

// Both listings of the folder being walked.
struct Listings
{
    std::vector<EntryInfo> source;
    std::vector<EntryInfo> target; // sorted by name
    bool targetListed = false;     // false: each name is looked up instead
    bool targetComplete = false;   // no special file left out: a name not listed is absent
    Clock::time_point targetListedAt;
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
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_dev == listing.dev && st.st_ino == listing.ino;
}

// One couple's mirroring walk. The target's folders are listed as a whole,
// on a second thread where one can be had, while the walk examines the
// source: one listing per folder instead of one lookup per file.
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
        if (walk(QByteArray(), std::move(source), std::move(target), 0, {}, {}) == Walked::Clean)
            m_ctx.cleanTargets.folders.insert(QByteArray());
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

    // The listing asked for this folder when it is the one open as fd and
    // recent, or else a fresh one. Stale temporary files are removed here,
    // by the thread that writes into the folder.
    FolderListing takeListing(PendingListing asked, int fd)
    {
        FolderListing listing;
        if (asked.asked())
            listing = m_lister.take(std::move(asked));
        if (listing.rc != 0 || !sameFolder(fd, listing) || !recent(listing.listedAt))
            listing = ListFolderAt(fd, wantDosAttrib());
        for (const QByteArray &name : listing.extras.staleTemporaries)
            (void)deleteFile(fd, name); // gone already, or no longer a file: nothing to do
        return listing;
    }

    // False when the source folder cannot be read.
    bool takeListings(Listings &listed, int srcDir, int tgtDir, PendingListing sourceAsked,
                      PendingListing targetAsked)
    {
        FolderListing source = takeListing(std::move(sourceAsked), srcDir);
        if (source.rc != 0)
            return false;
        listed.source = std::move(source.entries);
        if (tgtDir < 0)
            return true;
        FolderListing target = takeListing(std::move(targetAsked), tgtDir);
        listed.targetListed = target.rc == 0;
        listed.targetComplete = target.rc == 0 && !target.extras.specialsLeftOut;
        listed.targetListedAt = target.listedAt;
        listed.target = std::move(target.entries);
        std::sort(listed.target.begin(), listed.target.end(), byName);
        return true;
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

    [[nodiscard]] static ListedTarget listedTarget(const Listings &listed, const QByteArray &name)
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
    void askListings(const QByteArray &rel, int depth, const Listings &listed, std::vector<SubFolder> &subFolders)
    {
        if (depth >= KeepOpenLevels)
            return;
        for (auto it = subFolders.rbegin(); it != subFolders.rend(); ++it) {
            const QByteArray childRel = JoinRelative(rel, it->name);
            if (it->listed.item && it->listed.item->kind == EntryKind::Folder)
                it->target = m_lister.ask(m_folders.target.get(), childRel, wantDosAttrib());
            it->source = m_lister.ask(m_folders.source.get(), childRel, wantDosAttrib());
        }
    }

    Walked walk(const QByteArray &rel, UniqueFd source, UniqueFd target, int depth, PendingListing sourceAsked,
                PendingListing targetAsked)
    {
        Listings listed;
        if (!source.valid() || !takeListings(listed, source.get(), target.get(), std::move(sourceAsked),
                                             std::move(targetAsked)))
            return Walked::Dirty; // a folder that cannot be listed is left with its sub-tree
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
        askListings(rel, depth, listed, subFolders);

        for (const EntryInfo &entry : listed.source) {
            const EntryRole role = RoleOf(entry, settings().MiroirSousDossiers, m_folders.targetId);
            if (role == EntryRole::PassOver)
                continue;
            if (role == EntryRole::File) {
                const bool logged = applyFileRule(source.get(), target.get(), rel, entry, listed);
                ++m_ctx.state.totals.FilesExamined;
                if (!logged)
                    return Walked::Stop;
            }
            if (!yieldAndGoOn())
                return Walked::Stop;
        }
        listed = Listings(); // a deep walk keeps only what its sub-folders need

        for (SubFolder &sub : subFolders) {
            if (stopped())
                return Walked::Stop;
            EnsureOpen(source, m_folders.source.get(), rel);
            EnsureOpen(target, m_folders.target.get(), rel);
            if (!applyFolderRule(source.get(), target.get(), rel, sub))
                return Walked::Stop;
            UniqueFd childSource = OpenChild(source, sub.name);
            UniqueFd childTarget = OpenChild(target, sub.name);
            if (depth >= KeepOpenLevels) {
                source.reset();
                target.reset();
            }
            const Walked walked = walk(JoinRelative(rel, sub.name), std::move(childSource), std::move(childTarget),
                                       depth + 1, std::move(sub.source), std::move(sub.target));
            if (walked == Walked::Stop)
                return Walked::Stop;
            if (walked == Walked::Clean && sub.listed.item && sub.listed.item->kind == EntryKind::Folder)
                ++kept;
            else
                clean = false;
        }
        clean = clean && kept == targetItems;
        if (clean)
            noteClean(rel, subFolders);
        return clean ? Walked::Clean : Walked::Dirty;
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

    // Returns false only when a wanted log line could not be written.
    bool applyFileRule(int srcDir, int tgtDir, const QByteArray &rel, const EntryInfo &source, const Listings &listed)
    {
        EntryInfo target;
        const int found = findTarget(tgtDir, listedTarget(listed, source.name), source.name, wantDosAttrib(), target);
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
    // when it is not the target itself, neither has changed since they were
    // listed, and the target's data are on disk.
    static bool removeCopiedSource(int srcDir, int tgtDir, const EntryInfo &source, const EntryInfo &seen)
    {
        EntryInfo target;
        if (lookUp(tgtDir, source.name, target, false) != 0 || target.kind != seen.kind || target.ino != seen.ino
            || target.lastWrite != seen.lastWrite || target.size != seen.size)
            return false;
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
    bool applyFolderRule(int srcDir, int tgtDir, const QByteArray &rel, const SubFolder &sub)
    {
        const QByteArray &name = sub.name;
        EntryInfo target;
        int found = findTarget(tgtDir, recent(sub.listedAt) ? sub.listed : ListedTarget(), name,
                               settings().CopierAttributs, target);
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
    FolderLister m_lister;
};

} // namespace

void MirrorFolder(MirrorContext &ctx, const QString &source, const QString &target)
{
    const Clock::time_point start = Clock::now();
    CoupleFolders folders = OpenCoupleFolders(source, target);
    ctx.cleanTargets = CleanTargets{CoupleKey(folders, ctx.settings.MiroirSousDossiers), {}};
    MirrorWalk(ctx, folders).run();
    // Renamed copies are names the source lacks, made after the target was
    // listed: the removal walk must see them. A long walk's first listings
    // are too old to spare the removal walk its own.
    const bool renamed = ctx.flags.Renommer && ctx.system.IsNT;
    if (renamed || Clock::now() - start > MaxNoteAge)
        ctx.cleanTargets = CleanTargets();
}

} // namespace vell
