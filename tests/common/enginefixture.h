#pragma once

#include "common/testtree.h"
#include "engine/mirrorcontext.h"
#include "engine/mirrorcontroller.h"
#include "engine/mirroring.h"
#include "platform/fileops.h"
#include "platform/mounts.h"
#include "platform/uniquefd.h"
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// A host that records what the engine asks of it; onYield acts inside a yield, as a user would (a Stop, a change to the
// folders).
class RecordingHost : public vell::EngineHost
{
public:
    void yieldToInterface(int times) override
    {
        ++yields;
        lastTimes = times;
        if (onYield)
            onYield();
    }
    void setMirroringActive(bool active) override { events << (active ? "active" : "inactive"); }
    void setTrayState(vell::TrayState s) override { trayStates << s; }
    void setCounterText(const QString &text) override { counterTexts << text; }
    void setStatusText(const QString &text) override { statusText = text; }
    void showNotice(const QString &text) override { events << "notice " + text; }
    void endProgram(int status) override { endStatus = status, ++ends; }
    void beep() override { events << "beep"; }
    void runAlertCommand(const QStringList &argv) override { events << "command " + argv.join('|'); }
    void logEvent(const QString &text, int type) override { events << QString("event %1 %2").arg(type).arg(text); }
    void reportFailure(const vell::ItemEvent &, const QString &text) override { failures << text; }
    void refreshFileLists(bool targetToo) override { refreshes << targetToo; }
    void noteWatching(const QString &text) override { events << "watching " + text; }
    QStringList events, counterTexts, failures;
    QList<vell::TrayState> trayStates;
    QList<bool> refreshes; // whether the target's file list was refilled too
    QString statusText;
    int endStatus = -1, ends = 0, yields = 0, lastTimes = 0;
    std::function<void()> onYield;
};

// Everything a couple's walk needs; it records every item event.
struct EngineFixture
{
    vell::Settings settings;
    vell::SystemInfo system;
    vell::RunState state;
    RecordingHost host;
    QList<vell::ItemEvent> events; // done items (when file lines are logged) and failures, in order
    vell::RunFlags flags;
    std::function<QString(const QString &)> extensions;
    std::chrono::steady_clock::duration listingMaxAge = std::chrono::seconds(1);
    EngineFixture()
    {
        system.IsNT = true;
        system.NTMajorVersion = 5;
        state.MirroringOff = false;
        settings.Logs = settings.FichiersLogs = true;
    }
    // Sets the couple's modes and the options named in `words` (their names in the settings; "-Name" clears one;
    // "NT4SP3" and "9x" older systems).
    void apply(const QString &words)
    {
        for (QString word : words.split(' ', Qt::SkipEmptyParts)) {
            const bool on = !word.startsWith('-');
            word.remove(0, on ? 0 : 1);
            const auto set = [&](const char *name, bool &field) { field = word == name ? on : field; };
            set("Deplacer", flags.Deplacer), set("Renommer", flags.Renommer), set("Nouveau", flags.Nouveau);
            set("Effacer", flags.Effacer), set("MiroirSousDossiers", settings.MiroirSousDossiers);
            set("CopierAttributs", settings.CopierAttributs), set("CopierSecurite", settings.CopierSecurite);
            set("CopierSecuriteDossiers", settings.CopierSecuriteDossiers), set("Logs", settings.Logs);
            set("CopierSecuriteTout", settings.CopierSecuriteTout), set("FichiersLogs", settings.FichiersLogs);
            set("ArretAutomatique", settings.ArretAutomatique), set("ErreurDossier", settings.ErreurDossier);
            set("ErreurDossierSon", settings.ErreurDossierSon);
            set("ErreurDossierNetSend", settings.ErreurDossierNetSend);
            set("ErreurDossierEventLog", settings.ErreurDossierEventLog);
            if (word.startsWith("NT4SP")) {
                system.NTMajorVersion = 4;
                system.ServicePack = int16_t(word.mid(5).toInt());
            }
            system.IsNT = system.IsNT && word != "9x";
        }
    }
    vell::MirrorContext context()
    {
        return {settings, system, state, flags, [this] { host.yieldToInterface(1); },
                [this](const vell::ItemEvent &event) { events << event; }, extensions, {}, listingMaxAge};
    }
    // A couple's turn as a run takes it: the mirror walk, then the removal walk in the same context when the couple
    // removes and does not move.
    void run(const QString &source, const QString &target)
    {
        vell::MirrorContext ctx = context();
        vell::MirrorFolder(ctx, source, target);
        if (flags.Effacer && !flags.Deplacer && !state.MirroringOff)
            vell::RemoveObsolete(ctx, source, target);
    }
    // The non-zero totals of the walks, in a fixed order: "examined 2, created 1".
    [[nodiscard]] QString totals() const
    {
        const vell::RunTotals &t = state.totals;
        const std::pair<const char *, int64_t> fields[] = {
            {"examined", t.FilesExamined}, {"created", t.FilesCreated}, {"modified", t.FilesModified},
            {"removed", t.FilesRemoved}, {"securities", t.SecuritiesCopied}, {"securitiesNot", t.SecuritiesNotCopied},
            {"attributes", t.AttributesCopied}, {"foldersCreated", t.FoldersCreated},
            {"foldersRemoved", t.FoldersRemoved}, {"failures", t.Failures}};
        QStringList parts;
        for (const auto &[name, value] : fields)
            if (value != 0)
                parts << QString("%1 %2").arg(name).arg(value);
        return parts.join(", ");
    }
};

// Runs `walks` in a child process where permissions apply (as uid and gid 65534 when the tests run as root) and returns
// what it returned, or "child failed" when it could not drop its rights or died.
inline QByteArray RunWhereDenied(const std::function<QByteArray()> &walks)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        constexpr uid_t Nobody = 65534;
        if (::geteuid() == 0
            && (::setgroups(0, nullptr) != 0 || ::setresgid(Nobody, Nobody, Nobody) != 0
                || ::setresuid(Nobody, Nobody, Nobody) != 0))
            ::_exit(100);
        const QByteArray result = walks();
        ::_exit(::write(pipeFds[1], result.constData(), size_t(result.size())) == result.size() ? 0 : 101);
    }
    ::close(pipeFds[1]);
    QByteArray result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    const bool ended = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && !WEXITSTATUS(status);
    return ended ? result : "child failed";
}

// A couple in one temporary tree (source "src", target "dst" unless set) and the engine that walks it.
struct TestCouple
{
    TestTree tree;
    EngineFixture engine;
    QByteArray sourceRel = "src";
    QByteArray targetRel = "dst";
    // Builds "src/", "dst/", "outside/precious" and the items `before`, and takes the couple's folders ("source=a",
    // "target=b") and modes.
    void prepare(const QString &modes, const QByteArrayList &before)
    {
        QVERIFY(tree.build(QByteArrayList{"src/", "dst/", "outside/precious"} << before));
        for (const QString &word : modes.split(' '))
            if (word.startsWith("source=") || word.startsWith("target="))
                (word.startsWith('s') ? sourceRel : targetRel) = word.mid(7).toUtf8();
        engine.apply(modes);
    }
    // Does `during` ("n:stop", "n:-path" or "n:item") at the n-th yield, "^" naming the file of "sub" walked first (the
    // first listed in src/sub, else in dst/sub) and "~" the other, with every listing counting as old. "0:" does
    // nothing.
    void actDuring(const QByteArray &during)
    {
        m_during = during;
        DIR *dir = ::opendir(tree.path(tree.isDir("src/sub") ? "src/sub" : "dst/sub").constData());
        while (const dirent *e = dir && m_first.isEmpty() ? ::readdir(dir) : nullptr)
            m_first = e->d_name[0] == '.' ? QByteArray() : QByteArray(e->d_name);
        if (dir)
            ::closedir(dir);
        const QByteArray action = named(during.mid(during.indexOf(':') + 1));
        const int yield = during.left(during.indexOf(':')).toInt();
        engine.host.onYield = [this, action, yield] {
            if (engine.host.yields != yield)
                return;
            if (action == "stop")
                engine.state.MirroringOff = true;
            else if (action.startsWith('-'))
                QVERIFY(::remove(tree.path(action.mid(1)).constData()) == 0);
            else
                QVERIFY(tree.build({action}));
        };
        if (!action.isEmpty())
            engine.listingMaxAge = {}; // a listing read before the change is read again
    }
    template<typename Text>
    Text named(Text text) const
    {
        return m_during.isEmpty() ? text : text.replace('^', m_first).replace('~', m_first == "a" ? "b" : "a");
    }
    // A run's outcome(), as an ordinary user when `denied` (the modes of the tree are then put back, some no longer
    // letting anyone read).
    QString runOutcome(bool denied)
    {
        if (!denied)
            return run(), outcome();
        if (::chmod(tree.root().constData(), 0777) != 0)
            return "root folder not opened to others";
        const QByteArray done = RunWhereDenied([this] { return run(), outcome().toUtf8(); });
        tree.resetModes();
        return QString::fromUtf8(done);
    }
    QString source() const { return tree.pathText(sourceRel); }
    QString target() const { return tree.pathText(targetRel); }
    void run() { engine.run(source(), target()); }
    void mirror() { vell::MirrorContext ctx = engine.context(); vell::MirrorFolder(ctx, source(), target()); }
    void removeObsolete() { vell::MirrorContext ctx = engine.context(); vell::RemoveObsolete(ctx, source(), target()); }
    // The events as "Delete folder dst/a" or "Creation dst/f !EISDIR", paths from the tree's root, in order or sorted
    // (walks follow the listing order).
    QStringList eventTexts(bool sorted = true) const
    {
        static const char *const operations[] = {"Creation", "Modification", "Attributes", "Security",
                                                 "Delete", "Reading", "Writing"};
        QStringList texts;
        for (const vell::ItemEvent &e : engine.events)
            texts << QString(operations[int(e.operation)]) + (e.folder ? " folder " : " ")
                    + QString(e.path).remove(tree.rootText() + '/')
                    + (e.failed() ? QString(" !") + strerrorname_np(e.error) : QString());
        if (sorted)
            std::sort(texts.begin(), texts.end());
        return texts;
    }
    // The totals, then the events, a line each: what a run did.
    QString outcome() const { return engine.totals() + '\n' + eventTexts().join('\n'); }
    void resetTotals() { engine.state.totals = vell::RunTotals(), engine.events.clear(); }

private:
    QByteArray m_during;
    QByteArray m_first;
};

// A program's worth of run state around one controller, with a clock the test moves by hand. Couples are given as
// "source>target" below the tree, "*3" after them for every third timed run, "+" for Effacer.
struct ProgramFixture
{
    TestTree tree;
    EngineFixture engine;
    vell::FolderPairList pairs;
    QDateTime clock = QDateTime(QDate(2026, 12, 6), QTime(14, 3, 27));
    bool serviceRunning = false;
    std::function<bool()> stopPending;
    QStringList remembered;
    vell::MirrorController controller{vell::RunEnvironment{
        engine.settings, pairs, engine.system, engine.state, engine.host, {}, [this] { return serviceRunning; },
        [this] { return clock; }, [this] { return stopPending && stopPending(); },
        [this](qsizetype index, const QString &id) { remembered << QString::number(index) + ' ' + id; },
        tree.path("fstab")}};
    explicit ProgramFixture(const QByteArrayList &items = {}, const QStringList &couples = {})
    {
        engine.state.MirroringOff = true;
        engine.settings.Logs = false;
        engine.settings.PathLogs = tree.rootText();
        QVERIFY(tree.build(items));
        for (const QString &couple : couples)
            add(couple);
    }
    void add(const QString &couple)
    {
        vell::FolderPair pair;
        const QStringList parts = QString(couple).remove('+').split(QRegularExpression("[>*]"));
        pair.Source = parts.at(0).isEmpty() ? QString() : tree.pathText(parts.at(0).toUtf8());
        pair.Cible = parts.at(1).isEmpty() ? QString() : tree.pathText(parts.at(1).toUtf8());
        pair.NbTemporisations = pair.TemporisationsRestantes = parts.value(2, "1").toInt();
        pair.Effacer = couple.endsWith('+');
        pairs << pair;
    }
    QString log() const { return QString::fromUtf8(tree.read("Log Vell 2026-12-06.htm")); }
    QString withRoot(QString text) const { return text.replace("<root>", tree.rootText()); }
    QString fileSystemOf(const QByteArray &rel) const
    {
        const vell::platform::UniqueFd folder(vell::platform::openFolderPath(tree.path(rel)));
        return QString(vell::platform::fileSystemId(folder.get()));
    }
};
