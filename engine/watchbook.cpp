#include "engine/watchbook.h"

#include "engine/walkfolders.h"
#include "platform/fileops.h"
#include "platform/pathcodec.h"

#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>

namespace vell {

namespace {

constexpr int64_t NanosecondsPerMinute = 60'000'000'000;
// The kernel's limit before 5.11 sized it from RAM; used when the real one
// cannot be read.
constexpr int64_t FallbackMaxUserWatches = 8192;

QString errorText(int rc)
{
    return QString::fromLocal8Bit(std::strerror(rc < 0 ? -rc : rc));
}

} // namespace

// ---- CoupleWatch: what the walks call ----

void CoupleWatch::sourceListed(NodeId node, const std::vector<QByteArray> &subFolders)
{
    if (!watching())
        return;
    std::vector<DroppedWatch> dropped;
    const uint32_t before = m_tree.nodeCount();
    m_tree.reconcileChildren(node, subFolders, dropped);
    m_book->release(*this, dropped);
    WatchStats &stats = m_book->m_stats;
    stats.folders += int64_t(m_tree.nodeCount()) - int64_t(before);
    if (stats.folders > int64_t(WatchedFolderCap))
        refuse({WatchFallback::Reason::TooManyFolders, {}, stats.folders, WatchedFolderCap});
}

void CoupleWatch::targetListed(NodeId node, const std::vector<QByteArray> &targetSubFolders)
{
    if (watching())
        m_tree.setTargetRanks(node, targetSubFolders);
}

void CoupleWatch::watchChild(NodeId child, int parentFd, const QByteArray &name, Side side)
{
    if (!watching()) {
        ++m_neededAfter;
        return;
    }
    if (child == NoNode)
        return;
    if (m_tree.node(child).wd(side) < 0 && m_book->m_stats.watches >= m_book->budget()) {
        refuse({WatchFallback::Reason::TooManyWatches, {}, m_held + 1,
                m_book->budget() - (m_book->m_stats.watches - m_held)});
        return;
    }
    handleWatch(child, side, m_book->m_system.watchAt(m_book->m_fd.get(), parentFd, name));
}

void CoupleWatch::expectTargetMade(NodeId parent, const QByteArray &name)
{
    const int32_t wd = watching() && parent != NoNode ? m_tree.node(parent).targetWd : -1;
    if (wd < 0)
        return;
    if (m_book->m_madeByWalk.size() >= 65536) // made and never heard of (a failed creation): forgotten
        m_book->m_madeByWalk.clear();
    m_book->m_madeByWalk.emplace(wd, name);
}

void CoupleWatch::watchFolder(NodeId node, int fd, Side side)
{
    if (!watching()) {
        ++m_neededAfter;
        return;
    }
    if (m_tree.node(node).wd(side) < 0 && m_book->m_stats.watches >= m_book->budget()) {
        refuse({WatchFallback::Reason::TooManyWatches, {}, m_held + 1,
                m_book->budget() - (m_book->m_stats.watches - m_held)});
        return;
    }
    handleWatch(node, side, m_book->m_system.watchFd(m_book->m_fd.get(), fd));
}

void CoupleWatch::handleWatch(NodeId node, Side side, int rc)
{
    const uint16_t unwatched = side == Side::Source ? SourceUnwatched : TargetUnwatched;
    if (rc >= 0) {
        m_book->addRef(*this, node, side, rc);
        m_tree.clearDirty(node, unwatched);
        return;
    }
    switch (-rc) {
    case EACCES:
    case ENOENT:
    case ENOTDIR: // a file where the source has this folder (kept when nothing is removed)
        // Not readable either: the walk reports it at every visit, as it
        // would without watches.
        m_tree.markDirty(node, unwatched);
        break;
    case ENOSPC: // the per-user limit, shared with every other program
        refuse({WatchFallback::Reason::TooManyWatches, {}, m_held + 1, m_held});
        break;
    case ENOMEM:
        refuse({WatchFallback::Reason::Refused, errorText(rc), 0, 0});
        break;
    default: // the folder changed under the walk: trust nothing next time
        m_doubt = true;
        break;
    }
}

void CoupleWatch::checkFileSystem(int fd)
{
    if (!watching())
        return;
    bool watchable = false;
    QByteArray typeName;
    const int rc = m_book->m_system.fileSystemWatchable(fd, watchable, typeName);
    if (rc < 0)
        m_doubt = true;
    else if (!watchable)
        refuse({WatchFallback::Reason::FileSystem, QString::fromUtf8(typeName), 0, 0});
}

void CoupleWatch::refuse(WatchFallback why)
{
    // The watches go now; the nodes stay until the couple is finished, as
    // the walk may still hold their ids.
    std::vector<DroppedWatch> watches;
    m_tree.collectWatches(watches);
    m_book->release(*this, watches);
    m_state = State::Refused;
    m_refusedThisRun = true;
    m_why = std::move(why);
    m_neededAfter = 0;
    m_lastFullRun = m_book->m_system.bootClock(); // tried again after the safety-net delay
}

// ---- WatchBook ----

WatchBook::WatchBook(const Settings &settings, WatchSystem system, QObject *parent)
    : QObject(parent), m_settings(settings), m_system(std::move(system))
{
    const int fd = m_system.open();
    if (fd < 0) {
        // Every couple falls back to full runs; said once.
        m_notes.push_back({{WatchFallback::Reason::Refused, QStringLiteral("inotify: ") + errorText(fd), 0, 0}, {}});
        return;
    }
    m_fd.reset(fd);
    if (m_system.openMountTable) {
        const int mounts = m_system.openMountTable();
        if (mounts < 0) {
            // Without it a mount over a watched folder would go unseen.
            m_notes.push_back(
                {{WatchFallback::Reason::Refused, QStringLiteral("mountinfo: ") + errorText(mounts), 0, 0}, {}});
            m_fd.reset();
            return;
        }
        m_mounts.reset(mounts);
        m_mountNotifier = new QSocketNotifier(mounts, QSocketNotifier::Exception, this);
        connect(m_mountNotifier, &QSocketNotifier::activated, this, &WatchBook::mountTableChanged);
    }
    const int64_t max = m_system.maxUserWatches();
    m_budget = (max > 0 ? max : FallbackMaxUserWatches) / 2; // the other half for everything else the user runs
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &WatchBook::drain);
}

WatchBook::~WatchBook() = default; // closing the inotify fd drops every watch at once

void WatchBook::drain()
{
    if (!m_fd.valid())
        return;
    m_lastDrain = std::chrono::steady_clock::now();
    std::vector<WatchEventRecord> events;
    const int rc = m_system.read(m_fd.get(), events);
    apply(events);
    if (rc < 0 && rc != -EAGAIN)
        doubtAll(); // events may be lost
}

void WatchBook::drainIfDue()
{
    if (std::chrono::steady_clock::now() - m_lastDrain >= std::chrono::milliseconds(5))
        drain();
}

void WatchBook::apply(const std::vector<WatchEventRecord> &events)
{
    for (const WatchEventRecord &event : events)
        applyOne(event);
    if (m_movedFrom.size() > 1024) // halves of moves that never paired (moved out of every watch)
        m_movedFrom.clear();
}

void WatchBook::applyOne(const WatchEventRecord &e)
{
    if (e.mask & IN_Q_OVERFLOW) {
        doubtAll();
        return;
    }
    auto [first, last] = m_index.equal_range(e.wd);
    if (first == last)
        return; // already released, or raced with its own removal
    if (e.mask & IN_IGNORED) {
        // The kernel dropped the watch: expected for a folder that died,
        // a hole in the couple's watches otherwise.
        for (auto it = first; it != last; ++it) {
            CoupleWatch &c = *m_couples[it->second.couple];
            if (!(c.m_tree.flags(it->second.node) & Dying))
                c.m_doubt = true;
            c.m_tree.setWd(it->second.node, it->second.side, -1);
            --c.m_held;
        }
        m_index.erase(e.wd);
        --m_stats.watches;
        return;
    }
    constexpr uint32_t Naming = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    for (auto it = first; it != last; ++it) {
        CoupleWatch &c = *m_couples[it->second.couple];
        FolderTree &tree = c.m_tree;
        const NodeId node = it->second.node;
        if (e.mask & IN_UNMOUNT) {
            c.m_doubt = true;
        } else if (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
            if (node == tree.root())
                c.m_doubt = true; // the couple's folder itself: its key will not match either
            else
                tree.markDirty(node, Dying);
        } else {
            tree.markDirty(node, BothDirty);
            // The parent's folder rule reads this folder's own attributes.
            if ((e.mask & IN_ATTRIB) && e.name.isEmpty() && tree.node(node).parent != NoNode)
                tree.markDirty(tree.node(node).parent, BothDirty);
            if ((e.mask & IN_ISDIR) && (e.mask & Naming) && !e.name.isEmpty()) {
                const NodeId child = tree.child(node, e.name);
                const bool madeByWalk = (e.mask & IN_CREATE) && it->second.side == Side::Target
                    && m_madeByWalk.erase({e.wd, e.name}) > 0;
                if (child != NoNode && !madeByWalk)
                    tree.markDirty(child, Replaced);
                if (e.mask & IN_MOVED_FROM)
                    m_movedFrom[e.cookie].push_back(it->second.couple);
            }
            // A file moved in from outside may be a link just as well.
            if ((e.mask & (IN_CREATE | IN_MOVED_TO)) && !(e.mask & IN_ISDIR) && !e.name.isEmpty())
                checkNewName(c, node, it->second.side, e.name);
        }
    }
    // A folder moved from one couple into another: the couples that saw only
    // one half doubt, as the moved tree's watches served the other one.
    if ((e.mask & IN_ISDIR) && (e.mask & IN_MOVED_TO)) {
        const auto from = m_movedFrom.find(e.cookie);
        if (from == m_movedFrom.end())
            return;
        std::vector<uint16_t> to;
        for (auto it = first; it != last; ++it)
            to.push_back(it->second.couple);
        const auto doubtUnless = [this](const std::vector<uint16_t> &couples, const std::vector<uint16_t> &in) {
            for (const uint16_t c : couples)
                if (std::find(in.begin(), in.end(), c) == in.end() && m_couples[c])
                    m_couples[c]->m_doubt = true;
        };
        doubtUnless(from->second, to);
        doubtUnless(to, from->second);
        m_movedFrom.erase(from);
    }
}

// A name made for a file that has other links may be a hard link to a file
// of another folder, which hears nothing of it nor of writes through the
// new name: every folder is visited (at this run when it has not begun).
// Looked up by path: the book holds no folder open. A name already gone
// may have been such a link, written through before it went: it counts as
// linked too (short-lived files cost a full run, never a missed change).
void WatchBook::checkNewName(CoupleWatch &couple, NodeId node, Side side, const QByteArray &name)
{
    if (!m_system.links || couple.m_fullNext || platform::isTemporaryName(name))
        return; // a copy's own temporary is never anything but a new file
    const FolderTree &tree = couple.m_tree;
    QByteArray path = name;
    for (NodeId n = node; n != tree.root() && n != NoNode; n = tree.node(n).parent)
        path = tree.name(n).toByteArray() + '/' + path;
    path = PathToBytes(side == Side::Source ? couple.m_source : couple.m_target) + '/' + path;
    const int64_t links = m_system.links(path);
    if (links != 1)
        couple.m_fullNext = true; // gone or unknown counts as linked
}

void WatchBook::doubtAll()
{
    for (const auto &c : m_couples)
        if (c)
            c->m_doubt = true;
}

void WatchBook::mountTableChanged()
{
    doubtAll();
}

void WatchBook::addRef(CoupleWatch &couple, NodeId node, Side side, int32_t wd)
{
    const int32_t old = couple.m_tree.node(node).wd(side);
    if (old == wd)
        return; // watched already: the kernel gives an inode the same wd
    if (old >= 0)
        releaseRef(couple, node, side, old);
    if (m_index.find(wd) == m_index.end())
        ++m_stats.watches;
    m_index.emplace(wd, Slot{node, couple.m_index, side});
    couple.m_tree.setWd(node, side, wd);
    ++couple.m_held;
}

void WatchBook::releaseRef(CoupleWatch &couple, NodeId node, Side side, int32_t wd)
{
    auto [first, last] = m_index.equal_range(wd);
    for (auto it = first; it != last; ++it)
        if (it->second.couple == couple.m_index && it->second.node == node && it->second.side == side) {
            m_index.erase(it);
            --couple.m_held;
            break;
        }
    couple.m_tree.setWd(node, side, -1);
    if (m_index.find(wd) != m_index.end())
        return; // another node or couple still watches that folder
    --m_stats.watches;
    // EINVAL: the kernel dropped it already (the folder went); its IGNORED
    // event finds no slot.
    (void)m_system.unwatch(m_fd.get(), wd);
}

void WatchBook::release(CoupleWatch &couple, const std::vector<DroppedWatch> &dropped)
{
    std::vector<int32_t> unwatched;
    for (const DroppedWatch &d : dropped) {
        auto [first, last] = m_index.equal_range(d.wd);
        for (auto it = first; it != last; ++it)
            if (it->second.couple == couple.m_index && it->second.node == d.node && it->second.side == d.side) {
                m_index.erase(it);
                --couple.m_held;
                break;
            }
        couple.m_tree.setWd(d.node, d.side, -1);
        if (m_index.find(d.wd) == m_index.end()) // no other node or couple watches that folder
            unwatched.push_back(d.wd);
    }
    constexpr size_t Batch = 1024; // far below the kernel's default queue of 16384
    for (size_t i = 0; i < unwatched.size(); ++i) {
        --m_stats.watches;
        (void)m_system.unwatch(m_fd.get(), unwatched[i]); // EINVAL: the kernel dropped it already
        if ((i + 1) % Batch == 0)
            drain(); // their IGNORED events find no slot now
    }
}

void WatchBook::releaseAll(CoupleWatch &couple, std::vector<DroppedWatch> &dropped)
{
    const uint32_t before = couple.m_tree.nodeCount();
    couple.m_tree.clear(dropped);
    release(couple, dropped);
    m_stats.folders -= int64_t(before) - int64_t(couple.m_tree.nodeCount());
}

CoupleWatch *WatchBook::planFor(const RunShape &shape, const CoupleFolders &folders)
{
    if (!m_fd.valid())
        return nullptr;
    CoupleWatch *couple = nullptr;
    size_t hole = m_couples.size();
    for (size_t i = 0; i < m_couples.size(); ++i) {
        CoupleWatch *c = m_couples[i].get();
        if (!c)
            hole = std::min(hole, i);
        else if (c->m_source == folders.sourceText && c->m_target == folders.targetText && c->m_shape == shape)
            couple = c;
    }
    if (!couple) {
        if (hole >= UINT16_MAX)
            return nullptr; // more couples than a slot can name: full runs
        auto made = std::make_unique<CoupleWatch>();
        made->m_book = this;
        made->m_index = uint16_t(hole);
        made->m_source = folders.sourceText;
        made->m_target = folders.targetText;
        made->m_shape = shape;
        couple = made.get();
        if (hole == m_couples.size())
            m_couples.push_back(std::move(made));
        else
            m_couples[hole] = std::move(made);
        m_stats.folders += couple->m_tree.nodeCount();
    }
    CoupleWatch &c = *couple;
    c.m_refusedThisRun = false;
    const int64_t now = m_system.bootClock();
    const int64_t delay = int64_t(m_settings.DelaiVerification) * NanosecondsPerMinute;
    if (c.m_state == CoupleWatch::State::Refused) {
        if (now - c.m_lastFullRun < delay)
            return nullptr;
        c.m_state = CoupleWatch::State::Watching; // tried again, silently
        c.m_doubt = true;
    }
    if (!folders.source.valid() || !folders.target.valid()) {
        c.m_doubt = true; // the walk reports it; nothing to trust next time
        return nullptr;
    }
    for (const platform::UniqueFd *top : {&folders.source, &folders.target}) {
        c.checkFileSystem(top->get());
        if (!c.watching()) {
            dropRefused(c);
            return nullptr;
        }
    }
    const QByteArray key = CoupleKey(folders, shape.subFolders);
    const bool rebuild = c.m_new || c.m_doubt || key != c.m_key;
    c.m_full = rebuild || c.m_fullNext || now - c.m_lastFullRun > delay;
    c.m_fullNext = false;
    if (rebuild) {
        // The tree may be wrong anywhere: start again from the tops.
        std::vector<DroppedWatch> dropped;
        releaseAll(c, dropped);
        c.m_new = c.m_doubt = false;
        c.m_key = key;
        c.watchFolder(c.m_tree.root(), folders.source.get(), Side::Source);
        c.watchFolder(c.m_tree.root(), folders.target.get(), Side::Target);
        if (!c.watching()) {
            dropRefused(c);
            return nullptr;
        }
    }
    if (c.m_full) {
        c.m_tree.markAll();
        ++m_stats.fullRuns;
    } else {
        ++m_stats.watchedRuns;
    }
    c.m_runStart = now;
    return &c;
}

void WatchBook::finishCouple(CoupleWatch *couple, bool stopped)
{
    if (!couple)
        return;
    if (couple->m_refusedThisRun) {
        dropRefused(*couple);
        return;
    }
    if (couple->m_full && !stopped && couple->watching())
        couple->m_lastFullRun = couple->m_runStart;
}

void WatchBook::retain(const std::function<bool(const QString &, const QString &, const RunShape &)> &live)
{
    for (auto &c : m_couples)
        if (c && !live(c->m_source, c->m_target, c->m_shape)) {
            std::vector<DroppedWatch> dropped;
            releaseAll(*c, dropped);
            m_stats.folders -= c->m_tree.nodeCount();
            c.reset();
        }
}

void WatchBook::dropRefused(CoupleWatch &couple)
{
    std::vector<DroppedWatch> none; // released when it was refused
    releaseAll(couple, none);
    queueNote(couple);
}

void WatchBook::queueNote(CoupleWatch &couple)
{
    const QString who = couple.m_source + QLatin1Char('\n') + couple.m_target;
    if (m_noted.contains(who))
        return;
    m_noted << who;
    WatchFallback why = couple.m_why;
    why.needed += couple.m_neededAfter;
    m_notes.push_back({why, couple.m_source});
}

QStringList WatchBook::takeNotes(int32_t langue)
{
    QStringList texts;
    for (const Note &note : m_notes)
        texts << WatchFallbackText(note.why, langue)
                + (note.folder.isEmpty() ? QString() : QStringLiteral(": ") + note.folder);
    m_notes.clear();
    return texts;
}

} // namespace vell
