#include "twincouples.h"
#include "oplog/dailylog.h"
#include <dirent.h>
#include <filesystem>

namespace {

const QDateTime FixedClock(QDate(2026, 12, 6), QTime(14, 3, 27));

// The names of the folder in the order it lists them, then its folders' the same way.
void listingOrder(const TestTree &tree, const QByteArray &rel, QByteArrayList &out)
{
    DIR *dir = ::opendir(tree.path(rel).constData());
    QByteArrayList names;
    while (const dirent *e = dir ? ::readdir(dir) : nullptr)
        if (e->d_name[0] != '.' || (e->d_name[1] != '\0' && (e->d_name[1] != '.' || e->d_name[2] != '\0')))
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
    for (QByteArray line : tree.snapshot(rel)) {
        if (line.contains('$') || (!skip.isEmpty() && (line.startsWith(skip + '/') || line == skip + '/')))
            continue;
        line = line.mid(rel.size() + 1);
        const qsizetype dos = line.indexOf('#'), mode = line.indexOf('%');
        const qsizetype cut = dos < 0 ? mode : mode < 0 ? dos : qMin(dos, mode);
        lines.insert(cut < 0 ? line : line.left(cut));
    }
    for (auto it = lines.begin(); it != lines.end();) {
        const QByteArray folder = *it;
        const bool filled = folder.endsWith('/')
            && std::any_of(lines.begin(), lines.end(), [&](const QByteArray &l) {
                   return l.size() > folder.size() && l.startsWith(folder);
               });
        it = filled ? lines.erase(it) : std::next(it);
    }
    return lines;
}

QByteArray joined(QList<QByteArray> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines.join(", ");
}

} // namespace

QByteArray TwinCouples::targetOf(const QString &modes)
{
    for (const QString &word : modes.split(' '))
        if (word.startsWith("target="))
            return word.mid(7).toUtf8();
    return "dst";
}

bool TwinRun::changed() const
{
    return totals.FilesCreated || totals.FilesModified || totals.FilesRemoved || totals.SecuritiesCopied
        || totals.AttributesCopied || totals.FoldersCreated || totals.FoldersRemoved;
}

Twin::Twin(TestTree &tree, const QByteArray &base, const QString &modes) : tree(tree), base(base)
{
    const QByteArray target = TwinCouples::targetOf(modes);
    QVERIFY(tree.build({base + "/src/", base + '/' + target + '/', base + "/log/"}));
    engine.apply(QString(modes).remove(QRegularExpression("target=\\S*")));
    engine.settings.PathLogs = tree.pathText(base + "/log");
    vell::FolderPair pair;
    pair.Source = tree.pathText(base + "/src");
    pair.Cible = tree.pathText(base + '/' + target);
    pair.Deplacer = engine.flags.Deplacer, pair.Nouveau = engine.flags.Nouveau, pair.Effacer = engine.flags.Effacer;
    pairs << pair;
    controller = std::make_unique<vell::MirrorController>(vell::RunEnvironment{
        engine.settings, pairs, engine.system, engine.state, engine.host, {}, {}, [] { return FixedClock; }, {}, {},
        tree.path("fstab")});
}

TwinRun Twin::run()
{
    const int yields = engine.host.yields;
    const qsizetype failures = engine.host.failures.size();
    engine.state.MirroringOff = false;
    controller->RunMirror();
    const QString prefix = tree.rootText() + '/' + base + '/';
    const auto relative = [&](QString text) { return text.replace(prefix, "<twin>/"); };
    TwinRun r;
    r.totals = engine.state.totals;
    r.yields = engine.host.yields - yields;
    r.summary = relative(engine.host.statusText);
    for (const QString &failure : engine.host.failures.mid(failures))
        r.failures << relative(failure);
    const QByteArray log = tree.read(base + "/log/" + QFile::encodeName(vell::DailyLogFileName({}, FixedClock.date())));
    for (const QString &line : QString::fromUtf8(log.mid(logSeen)).split('\n', Qt::SkipEmptyParts))
        r.lines << relative(line);
    logSeen = log.size();
    return r;
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
    const std::pair<const char *, int64_t vell::RunTotals::*> fields[] = {
        {"FilesExamined", &vell::RunTotals::FilesExamined}, {"FilesCreated", &vell::RunTotals::FilesCreated},
        {"FilesModified", &vell::RunTotals::FilesModified}, {"FilesRemoved", &vell::RunTotals::FilesRemoved},
        {"SecuritiesCopied", &vell::RunTotals::SecuritiesCopied},
        {"SecuritiesNotCopied", &vell::RunTotals::SecuritiesNotCopied},
        {"AttributesCopied", &vell::RunTotals::AttributesCopied}, {"FoldersCreated", &vell::RunTotals::FoldersCreated},
        {"FoldersRemoved", &vell::RunTotals::FoldersRemoved}, {"CouplesCounted", &vell::RunTotals::CouplesCounted},
        {"InvalidSources", &vell::RunTotals::InvalidSources}, {"InvalidTargets", &vell::RunTotals::InvalidTargets},
        {"Failures", &vell::RunTotals::Failures}};
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
    const QSet<QByteArray> source = contentsOf(tree, twin.base + "/src", target);
    const QSet<QByteArray> mirror = contentsOf(tree, target, {});
    QByteArrayList missing = QSet<QByteArray>(source).subtract(mirror).values();
    QByteArrayList extra = exact ? QSet<QByteArray>(mirror).subtract(source).values() : QByteArrayList();
    // An empty source folder is mirrored by a target folder that holds extras.
    missing.removeIf([&](const QByteArray &line) {
        return line.endsWith('/') && std::any_of(mirror.begin(), mirror.end(), [&](const QByteArray &m) {
                   return m.startsWith(line);
               });
    });
    if (missing.isEmpty() && extra.isEmpty())
        return {};
    return "missing in the target: " + joined(missing) + "; extra: " + joined(extra);
}

QByteArrayList TwinCouples::sourceItems(const Twin &twin) const
{
    return contentsOf(tree, twin.base + "/src", twin.base + '/' + targetRel).values();
}

QByteArray TwinCouples::lost(const Twin &twin, const QByteArrayList &before) const
{
    const QByteArray target = twin.base + '/' + targetRel;
    const QSet<QByteArray> source = contentsOf(tree, twin.base + "/src", target);
    const QSet<QByteArray> mirror = contentsOf(tree, target, {});
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
            qsizetype cut = line.size();
            for (const char *mark : {"=", "#", "%", "|", "->"})
                if (const qsizetype at = line.indexOf(mark); at > 0)
                    cut = qMin(cut, at);
            std::error_code error;
            std::filesystem::remove_all(tree.path(a.base + '/' + line.left(cut)).constData(), error);
        }
    }
    return false;
}
