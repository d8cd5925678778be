#include "twincouples.h"
#include "oplog/dailylog.h"
#include <QProcess>
#include <cerrno>
#include <filesystem>
#include <numeric>
#include <sys/xattr.h>

namespace {

using Kind = TreeMutator::Kind;
const QDateTime FixedClock(QDate(2026, 12, 6), QTime(14, 3, 27));
constexpr int MaxFiles = 40, MaxFolders = 10, MaxDepth = 3;
const char *const Names[] = {"a", "b", "c", "d", "e", "f", "g", "h"};
const char *const LinkTexts[] = {"a", "../b", "/nowhere", "c/d"};
const unsigned FileModes[] = {0644, 0600, 0444, 0640, 0755}, FolderModes[] = {0755, 0700, 0750, 0775};
const char *const DosWords[] = {"0x20", "0x21", "0x22", "0x24"};
// Per kind, in Kind's order: how often it is drawn, its word, whether it names a second path.
const struct { int weight; const char *word; bool twoPaths; } Kinds[] = {
    {12, "create", 0}, {10, "modify", 0}, {4, "truncate", 0}, {8, "rm", 0}, {6, "mv", 1}, {6, "mv", 1}, {5, "mkdir", 0},
    {3, "rm -r", 0}, {4, "mv", 1}, {3, "file>folder", 0}, {3, "folder>file", 0}, {4, "chmod", 0}, {2, "chmod", 0},
    {4, "dos", 0}, {3, "xattr", 0}, {2, "acl", 0}, {4, "ln -s", 0}, {3, "relink", 0}, {3, "ln", 1}, {5, "touch", 0}};

struct Entry { QByteArray path; int depth; }; // depth: folders below the top
struct Contents { std::vector<Entry> files, links, folders; }; // below a top, the top first among the folders

void collect(const TestTree &tree, const QByteArray &base, const QByteArray &rel, int depth, const QByteArray &spare,
             Contents &out)
{
    out.folders.push_back({rel, depth});
    for (const QByteArray &name : tree.entries(base + '/' + rel)) {
        const QByteArray item = rel + '/' + name, full = base + '/' + item;
        if (item == spare)
            continue;
        if (tree.isLink(full))
            out.links.push_back({item, depth});
        else if (tree.isDir(full))
            collect(tree, base, item, depth + 1, spare, out);
        else
            out.files.push_back({item, depth});
    }
}

// A POSIX access ACL in the kernel's xattr form: owner rw, one named user, group r, mask, others r.
QByteArray aclBlob(uint32_t user, uint16_t userPerm)
{
    const struct { uint16_t tag, perm; uint32_t id; } entries[] = {
        {0x01, 6, UINT32_MAX}, {0x02, userPerm, user}, {0x04, 4, UINT32_MAX}, {0x10, 7, UINT32_MAX},
        {0x20, 4, UINT32_MAX}};
    const uint32_t version = 2;
    return QByteArray(reinterpret_cast<const char *>(&version), 4)
        + QByteArray(reinterpret_cast<const char *>(entries), sizeof entries);
}

bool removeTree(const QByteArray &path)
{
    std::error_code error;
    return std::filesystem::remove_all(path.constData(), error) != uintmax_t(-1) && !error;
}

QByteArray targetOf(const QString &modes)
{
    const QRegularExpressionMatch m = QRegularExpression("target=(\\S*)").match(modes);
    return m.hasMatch() ? m.captured(1).toUtf8() : QByteArray("dst");
}

// The names of the folder in the order it lists them, then its folders' the same way.
void listingOrder(const TestTree &tree, const QByteArray &rel, QByteArrayList &out)
{
    DIR *dir = ::opendir(tree.path(rel).constData());
    QByteArrayList names;
    while (const dirent *e = dir ? ::readdir(dir) : nullptr)
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names << e->d_name;
    if (dir)
        ::closedir(dir);
    out << rel + ": " + names.join(' ');
    for (const QByteArray &name : names)
        if (tree.isDir(rel + '/' + name) && !tree.isLink(rel + '/' + name))
            listingOrder(tree, rel + '/' + name, out);
}

// Snapshot lines of rel made relative to it, without modes and DOS attributes, without streams, and folders only
// when empty: what a mirror must hold whatever its options.
QSet<QByteArray> contentsOf(const TestTree &tree, const QByteArray &rel, const QByteArray &skip)
{
    QSet<QByteArray> lines;
    for (QByteArray line : tree.snapshot(rel))
        if (!line.contains('$') && (skip.isEmpty() || !(line.startsWith(skip + '/') || line == skip + '/')))
            lines.insert(line.mid(rel.size() + 1).split('#')[0].split('%')[0]);
    for (auto it = lines.begin(); it != lines.end();) {
        const QByteArray folder = *it;
        const bool filled = folder.endsWith('/') && std::any_of(lines.begin(), lines.end(), [&](const QByteArray &l) {
            return l.size() > folder.size() && l.startsWith(folder);
        });
        it = filled ? lines.erase(it) : std::next(it);
    }
    return lines;
}

QByteArray joined(QList<QByteArray> lines) { return std::sort(lines.begin(), lines.end()), lines.join(", "); }

} // namespace

uint64_t TreeMutator::below(uint64_t bound)
{
    if (bound == 0)
        return 0;
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return (z ^ (z >> 31)) % bound;
}

TreeMutator::Op TreeMutator::draw(const TestTree &tree, const QByteArray &base, const QByteArray &top,
                                  const QByteArray &spare)
{
    Contents c;
    collect(tree, base, top, 0, spare, c);
    const auto pick = [this](const std::vector<Entry> &from) { return from[below(from.size())]; };
    const auto freshName = [&](const QByteArray &folder) { // not there yet (nor the spared folder); "" if none
        for (int tries = 0; tries < 8; ++tries)
            if (const QByteArray path = folder + '/' + Names[below(std::size(Names))];
                !tree.exists(base + '/' + path) && path != spare)
                return path;
        return QByteArray();
    };
    std::vector<Entry> filesAndLinks = c.files, shallow, inner; // folders that may hold a new folder; all but the top
    filesAndLinks.insert(filesAndLinks.end(), c.links.begin(), c.links.end());
    int roll = int(below(uint64_t(std::accumulate(std::begin(Kinds), std::end(Kinds), 0,
                                                  [](int sum, const auto &k) { return sum + k.weight; }))));
    int drawn = 0;
    while ((roll -= Kinds[drawn].weight) >= 0)
        ++drawn;
    Kind kind = Kind(drawn);
    for (const Entry &f : c.folders) {
        if (f.depth < MaxDepth)
            shallow.push_back(f);
        if (f.depth > 0)
            inner.push_back(f);
    }
    const bool crowded = c.folders.size() >= MaxFolders;
    if ((filesAndLinks.size() >= MaxFiles && (kind == Kind::Create || kind == Kind::Symlink || kind == Kind::HardLink))
        || (crowded && (kind == Kind::Mkdir || kind == Kind::FileToFolder)))
        kind = crowded ? Kind::RemoveTree : Kind::Delete;
    if (c.files.empty() && kind != Kind::Mkdir && kind != Kind::Symlink && kind != Kind::ChmodFolder)
        kind = Kind::Create;
    if (inner.empty() && (kind == Kind::RemoveTree || kind == Kind::RenameFolder || kind == Kind::FolderToFile))
        kind = Kind::Mkdir;

    Op op{kind, {}, {}, {}, ++m_time, 0};
    const QByteArray unique = 'n' + QByteArray::number(++m_serial);
    switch (kind) {
    case Kind::Create:
    case Kind::Mkdir:
    case Kind::Symlink:
        op.path = freshName(pick(kind == Kind::Mkdir ? shallow : c.folders).path);
        op.data = unique + QByteArray(int(below(48)), char('a' + below(26)));
        op.to = LinkTexts[below(std::size(LinkTexts))];
        break;
    case Kind::Modify: // same size, other bytes
        op.path = pick(c.files).path;
        op.data = tree.read(base + '/' + op.path);
        for (char &ch : op.data)
            ch = ch >= 'a' && ch <= 'z' ? char('a' + (ch - 'a' + 1) % 26)
                : ch >= '0' && ch <= '9' ? char('0' + (ch - '0' + 1) % 10) : ch;
        op.data = op.data.isEmpty() ? unique : op.data;
        break;
    case Kind::Truncate:
        op.path = pick(c.files).path;
        op.data = tree.read(base + '/' + op.path);
        op.data.truncate(op.data.size() / 2);
        break;
    case Kind::Delete:
    case Kind::Touch:
        op.path = filesAndLinks.empty() ? QByteArray() : pick(filesAndLinks).path;
        break;
    case Kind::Rename:
    case Kind::MoveAcross:
    case Kind::HardLink:
        op.path = kind == Kind::HardLink ? pick(c.files).path : pick(filesAndLinks).path;
        op.to = freshName(kind == Kind::Rename || (kind == Kind::HardLink && linksBeside)
                              ? op.path.left(op.path.lastIndexOf('/')) : pick(c.folders).path);
        break;
    case Kind::RemoveTree:
    case Kind::FolderToFile:
        op.path = pick(inner).path;
        op.data = unique;
        break;
    case Kind::RenameFolder: { // into a folder that keeps the tree within its depth, never into itself
        const Entry moved = pick(inner), into = pick(c.folders);
        int height = 0;
        for (const Entry &f : c.folders)
            height = f.path.startsWith(moved.path + '/') ? qMax(height, f.depth - moved.depth) : height;
        op.path = moved.path;
        if (into.depth + 1 + height <= MaxDepth && into.path != moved.path && !into.path.startsWith(moved.path + '/'))
            op.to = freshName(into.path);
        break;
    }
    case Kind::FileToFolder: {
        const Entry file = pick(c.files);
        op.path = file.depth < MaxDepth ? file.path : QByteArray();
        op.data = unique;
        break;
    }
    case Kind::ChmodFile:
    case Kind::ChmodFolder:
        op.path = pick(kind == Kind::ChmodFile ? c.files : c.folders).path;
        op.mode = kind == Kind::ChmodFile ? FileModes[below(std::size(FileModes))]
                                          : FolderModes[below(std::size(FolderModes))];
        break;
    case Kind::DosAttrib:
    case Kind::UserXattr:
    case Kind::Acl:
        op.path = below(4) == 0 ? pick(c.folders).path : pick(c.files).path;
        op.data = kind == Kind::DosAttrib ? QByteArray(DosWords[below(std::size(DosWords))]) + '\0' : unique;
        op.mode = unsigned(below(8));
        break;
    case Kind::Retarget:
        op.path = c.links.empty() ? QByteArray() : pick(c.links).path;
        op.to = LinkTexts[below(std::size(LinkTexts))] + unique;
        break;
    }
    if (op.path.isEmpty() || (Kinds[int(kind)].twoPaths && op.to.isEmpty())) // nothing fitted
        return Op{Kind::Touch, c.files.empty() ? top : pick(c.files).path, {}, {}, op.time, 0};
    return op;
}

bool TreeMutator::apply(TestTree &tree, const QByteArray &base, const Op &op, QByteArray *why)
{
    const QByteArray rel = base + '/' + op.path, path = tree.path(rel), to = tree.path(base + '/' + op.to);
    const QByteArray acl = aclBlob(1000 + op.mode, uint16_t(op.mode & 7));
    const auto written = [&](const QByteArray &at) { return tree.write(at, op.data) && tree.setMtime(at, op.time); };
    bool ok = true;
    switch (op.kind) {
    case Kind::Create:
    case Kind::Modify:
    case Kind::Truncate: ok = written(rel); break;
    case Kind::Delete: ok = ::unlink(path.constData()) == 0; break;
    case Kind::Rename:
    case Kind::MoveAcross:
    case Kind::RenameFolder: ok = ::rename(path.constData(), to.constData()) == 0; break;
    case Kind::Mkdir: ok = ::mkdir(path.constData(), 0755) == 0; break;
    case Kind::RemoveTree: ok = removeTree(path); break;
    case Kind::FileToFolder:
        ok = ::unlink(path.constData()) == 0 && ::mkdir(path.constData(), 0755) == 0 && written(rel + "/x");
        break;
    case Kind::FolderToFile: ok = removeTree(path) && written(rel); break;
    case Kind::ChmodFile:
    case Kind::ChmodFolder: ok = ::chmod(path.constData(), op.mode) == 0; break;
    case Kind::DosAttrib: ok = tree.setXattr(rel, "user.DOSATTRIB", op.data); break;
    case Kind::UserXattr: ok = tree.setXattr(rel, "user.note", op.data); break;
    case Kind::Acl: // a file system without ACLs: nothing changes
        ok = ::lsetxattr(path.constData(), "system.posix_acl_access", acl.constData(), size_t(acl.size()), 0) == 0
            || errno == EOPNOTSUPP;
        break;
    case Kind::Symlink:
    case Kind::Retarget:
        ok = (op.kind == Kind::Symlink || ::unlink(path.constData()) == 0)
            && ::symlink(op.to.constData(), path.constData()) == 0 && tree.setMtime(rel, op.time);
        break;
    case Kind::HardLink: ok = ::link(path.constData(), to.constData()) == 0; break;
    case Kind::Touch: ok = tree.setMtime(rel, op.time); break;
    }
    if (!ok)
        *why = op.text() + ": " + std::strerror(errno);
    return ok;
}

QByteArray TreeMutator::Op::text() const
{
    QByteArray text = Kinds[int(kind)].word;
    if (mode && (kind == Kind::ChmodFile || kind == Kind::ChmodFolder))
        text += ' ' + QByteArray::number(mode, 8);
    if (kind == Kind::DosAttrib)
        text += ' ' + data.left(data.indexOf('\0'));
    if (kind == Kind::Symlink || kind == Kind::Retarget)
        text += ' ' + to;
    return text + ' ' + path + (Kinds[int(kind)].twoPaths ? ' ' + to : QByteArray());
}

QByteArray TreeMutator::texts(const std::vector<Op> &ops)
{
    QByteArrayList list;
    for (const Op &op : ops)
        list << op.text();
    return '[' + list.join("; ") + ']';
}

Twin::Twin(TestTree &tree, const QByteArray &base, const QString &modes) : tree(tree), base(base)
{
    QVERIFY(tree.build({base + "/src/", base + '/' + targetOf(modes) + '/', base + "/log/"}));
    engine.apply(QString(modes).remove(QRegularExpression("target=\\S*")));
    engine.settings.PathLogs = tree.pathText(base + "/log");
    vell::FolderPair pair;
    pair.Source = tree.pathText(base + "/src");
    pair.Cible = tree.pathText(base + '/' + targetOf(modes));
    pair.Deplacer = engine.flags.Deplacer, pair.Nouveau = engine.flags.Nouveau, pair.Effacer = engine.flags.Effacer;
    pairs << pair;
    controller = std::make_unique<vell::MirrorController>(vell::RunEnvironment{
        engine.settings, pairs, engine.system, engine.state, engine.host, {}, {}, [] { return FixedClock; }, {}, {},
        tree.path("fstab"), [this](vell::WatchSystem &s) {
            if (tune)
                tune(s);
        }});
}

TwinRun Twin::run()
{
    const int yields = engine.host.yields;
    const qsizetype failures = engine.host.failures.size();
    engine.state.MirroringOff = false;
    controller->RunMirror();
    const QString prefix = tree.rootText() + '/' + base + '/';
    const auto relative = [&](QString text) { return text.replace(prefix, "<twin>/"); };
    TwinRun r{engine.state.totals, {}, {}, relative(engine.host.statusText), engine.host.yields - yields};
    for (const QString &failure : engine.host.failures.mid(failures))
        r.failures << relative(failure);
    const QByteArray log = tree.read(base + "/log/" + QFile::encodeName(vell::DailyLogFileName({}, FixedClock.date())));
    for (const QString &line : QString::fromUtf8(log.mid(logSeen)).split('\n', Qt::SkipEmptyParts))
        r.lines << relative(line);
    logSeen = log.size();
    return r;
}

TwinCouples::TwinCouples(const QString &modes, const QByteArrayList &items) : m_modes(modes), targetRel(targetOf(modes))
{
    for (const QByteArray &item : items)
        QVERIFY(tree.build({"A/" + item, "B/" + item}));
}

bool TwinCouples::sameListingOrder() const
{
    QByteArrayList orderA, orderB;
    listingOrder(tree, "A/src", orderA), listingOrder(tree, "A/" + targetRel, orderA);
    listingOrder(tree, "B/src", orderB), listingOrder(tree, "B/" + targetRel, orderB);
    for (QByteArray &line : orderB)
        line[0] = 'A';
    return orderA == orderB;
}

QString TwinCouples::difference(const TwinRun &a, const TwinRun &b, bool inOrder)
{
    using T = vell::RunTotals;
    const std::pair<const char *, int64_t T::*> fields[] = {
        {"FilesExamined", &T::FilesExamined}, {"FilesCreated", &T::FilesCreated}, {"FilesModified", &T::FilesModified},
        {"FilesRemoved", &T::FilesRemoved}, {"SecuritiesCopied", &T::SecuritiesCopied},
        {"SecuritiesNotCopied", &T::SecuritiesNotCopied}, {"AttributesCopied", &T::AttributesCopied},
        {"FoldersCreated", &T::FoldersCreated}, {"FoldersRemoved", &T::FoldersRemoved},
        {"CouplesCounted", &T::CouplesCounted}, {"InvalidSources", &T::InvalidSources},
        {"InvalidTargets", &T::InvalidTargets}, {"Failures", &T::Failures}};
    for (const auto &[name, field] : fields)
        if (a.totals.*field != b.totals.*field)
            return QString("%1: %2 vs %3").arg(name).arg(a.totals.*field).arg(b.totals.*field);
    const auto compare = [inOrder](const char *what, QStringList x, QStringList y) -> QString {
        if (!inOrder)
            std::sort(x.begin(), x.end()), std::sort(y.begin(), y.end());
        for (qsizetype i = 0; i < qMax(x.size(), y.size()); ++i)
            if (x.value(i, "(none)") != y.value(i, "(none)"))
                return QString("%1 %2: %3 vs %4").arg(what).arg(i).arg(x.value(i, "(none)"), y.value(i, "(none)"));
        return {};
    };
    if (QString d = compare("failure", a.failures, b.failures); !d.isEmpty())
        return d;
    if (QString d = compare("log line", a.lines, b.lines); !d.isEmpty())
        return d;
    return a.summary == b.summary ? QString() : "summary: " + a.summary + " vs " + b.summary;
}

QByteArrayList TwinCouples::snapshot(const Twin &twin) const
{
    QByteArrayList lines = tree.snapshot(twin.base + "/src") + tree.snapshot(twin.base + '/' + targetRel);
    for (QByteArray &line : lines)
        line = line.mid(twin.base.size() + 1);
    return lines;
}

QByteArray TwinCouples::unmirrored(const Twin &twin, bool exact) const
{
    const QByteArray target = twin.base + '/' + targetRel;
    const QSet<QByteArray> source = contentsOf(tree, twin.base + "/src", target), mirror = contentsOf(tree, target, {});
    QByteArrayList missing = QSet<QByteArray>(source).subtract(mirror).values();
    const QByteArrayList extra = exact ? QSet<QByteArray>(mirror).subtract(source).values() : QByteArrayList();
    missing.removeIf([&](const QByteArray &line) { // an empty source folder is mirrored by one that holds extras
        return line.endsWith('/')
            && std::any_of(mirror.begin(), mirror.end(), [&](const QByteArray &m) { return m.startsWith(line); });
    });
    return missing.isEmpty() && extra.isEmpty()
        ? QByteArray() : "missing in the target: " + joined(missing) + "; extra: " + joined(extra);
}

QByteArrayList TwinCouples::sourceItems(const Twin &twin) const
{
    return contentsOf(tree, twin.base + "/src", twin.base + '/' + targetRel).values();
}

QByteArray TwinCouples::lost(const Twin &twin, const QByteArrayList &before) const
{
    const QByteArray target = twin.base + '/' + targetRel;
    const QSet<QByteArray> source = contentsOf(tree, twin.base + "/src", target), mirror = contentsOf(tree, target, {});
    QByteArrayList gone;
    for (const QByteArray &line : before)
        if (!line.endsWith('/') && !source.contains(line) && !mirror.contains(line))
            gone << line;
    return joined(gone);
}

QByteArray TwinCouples::unlike(const QByteArrayList &x, const QByteArrayList &y)
{
    return joined(QSet<QByteArray>(x.begin(), x.end()).subtract(QSet<QByteArray>(y.begin(), y.end())).values());
}

bool TwinCouples::copyAToB()
{
    for (const QByteArray &name : tree.entries(a.base)) {
        if (name == "log")
            continue;
        std::error_code error;
        std::filesystem::remove_all(tree.path(b.base + '/' + name).constData(), error);
        QProcess cp;
        cp.start("cp", {"-a", tree.pathText(a.base + '/' + name), tree.pathText(b.base + '/' + name)});
        if (!cp.waitForFinished() || cp.exitCode() != 0)
            return false;
    }
    return true;
}

bool TwinCouples::dropTransientExtras()
{
    for (int pass = 0; pass < 4; ++pass) {
        const QByteArrayList treeA = snapshot(a), treeB = snapshot(b);
        if (treeA == treeB)
            return true;
        const QSet<QByteArray> inB(treeB.begin(), treeB.end());
        if (!QSet<QByteArray>(treeA.begin(), treeA.end()).contains(inB))
            return false;
        for (const QByteArray &line : treeA) {
            if (inB.contains(line))
                continue;
            if (!line.startsWith(targetRel + '/'))
                return false;
            const qsizetype cut = QString::fromUtf8(line).indexOf(QRegularExpression("=|#|%|\\||->"), 1);
            (void)removeTree(tree.path(a.base + '/' + line.left(cut)));
        }
    }
    return false;
}
