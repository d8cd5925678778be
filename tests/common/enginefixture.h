#pragma once

#include "common/testtree.h"
#include "engine/mirrorcontext.h"
#include "engine/mirroring.h"
#include "oplog/logline.h"

#include <QStringList>
#include <functional>

// A host that records what the engine asks of it. stopAfterYields sets
// MirroringOff inside the n-th yield, as a Stop click would.
class RecordingHost : public vell::EngineHost
{
public:
    explicit RecordingHost(vell::RunState &state) : m_state(state) {}

    void yieldToInterface(int times) override
    {
        ++yields;
        lastTimes = times;
        if (stopAfterYields > 0 && yields >= stopAfterYields)
            m_state.MirroringOff = true;
        if (onYield)
            onYield();
    }

    void setMirroringActive(bool active) override { events << (active ? "active" : "inactive"); }
    void setTrayState(vell::TrayState s) override { trayStates << s; }
    void setCounterText(const QString &text) override { counterTexts << text; }
    void setStatusText(const QString &text) override { statusText = text; }
    void showNotice(const QString &text) override { events << "notice " + text; }
    void endProgram(int status) override { endStatus = status; }
    void beep() override { events << "beep"; }
    void runAlertCommand(const QStringList &argv) override { events << "command " + argv.join('|'); }
    void logEvent(const QString &text, int type) override { events << QString("event %1 %2").arg(type).arg(text); }

    QStringList events;
    QList<vell::TrayState> trayStates;
    QStringList counterTexts;
    QString statusText;
    int endStatus = -1;
    int yields = 0;
    int lastTimes = 0;
    int stopAfterYields = 0;
    std::function<void()> onYield;

private:
    vell::RunState &m_state;
};

// Everything a couple's walk needs, with a log that keeps its lines in memory.
struct EngineFixture
{
    vell::Settings settings;
    vell::SystemInfo system;
    vell::RunState state;
    RecordingHost host{state};
    QStringList logLines;               // the done items, as the day's log writes them
    QList<vell::ItemEvent> failures;    // every failure, in order
    vell::RunFlags flags;
    std::function<QString(const QString &)> extensions;

    EngineFixture()
    {
        system.IsNT = true;
        system.NTMajorVersion = 5;
        state.MirroringOff = false;
        settings.Logs = true;
        settings.FichiersLogs = true;
    }

    vell::MirrorContext context()
    {
        vell::MirrorContext ctx{settings, system, state, flags, {}, {}, extensions, {}};
        ctx.yield = [this] {
            if (settings.Performance >= 1)
                host.yieldToInterface(settings.Performance);
        };
        ctx.record = [this](const vell::ItemEvent &event) {
            if (event.failed())
                failures << event;
            else
                logLines << vell::ItemLogLine(vell::LogWordsFor(settings.Langue), event);
        };
        return ctx;
    }

    void mirror(const QString &source, const QString &target)
    {
        vell::MirrorContext ctx = context();
        vell::MirrorFolder(ctx, source, target);
    }

    void removeObsolete(const QString &source, const QString &target)
    {
        vell::MirrorContext ctx = context();
        vell::RemoveObsolete(ctx, source, target);
    }

    // Both walks in one context, as a run makes them: the removal walk gets
    // what the mirror walk noted (kept in `noted`).
    void mirrorAndRemove(const QString &source, const QString &target)
    {
        vell::MirrorContext ctx = context();
        vell::MirrorFolder(ctx, source, target);
        noted = ctx.cleanTargets;
        vell::RemoveObsolete(ctx, source, target);
    }

    vell::CleanTargets noted;

    const vell::RunTotals &totals() const { return state.totals; }
};

// A couple in one temporary tree: source folder "src", target folder "dst",
// and the engine that walks them.
struct TestCouple
{
    TestTree tree;
    EngineFixture engine;

    TestCouple()
    {
        tree.mkdir("src");
        tree.mkdir("dst");
    }
    QString source() const { return tree.pathText("src"); }
    QString target() const { return tree.pathText("dst"); }
    void mirror() { engine.mirror(source(), target()); }
    void removeObsolete() { engine.removeObsolete(source(), target()); }
    void mirrorAndRemove() { engine.mirrorAndRemove(source(), target()); }
    void resetTotals()
    {
        engine.state.totals = vell::RunTotals();
        engine.logLines.clear();
        engine.failures.clear();
    }
};
