#pragma once

#include "common/enginefixture.h"
#include <memory>

// What one run of a twin did, as its program shows it: paths are made relative to the twin's folder ("<twin>/").
struct TwinRun
{
    vell::RunTotals totals;
    QStringList lines;    // what the run added to the day's log: item lines, then the summary entry
    QStringList failures; // as reported to the host, in order
    QString summary;      // the status line
    int yields = 0;
    // Whether the run changed anything (the counters a run with nothing to do leaves at 0).
    [[nodiscard]] bool changed() const;
};

// One program around one couple below base ("A"): the couple's source "src" and target "dst" (or another folder
// named by "target=..."), its day's log in base/log.
struct Twin
{
    Twin(TestTree &tree, const QByteArray &base, const QString &modes);
    Q_DISABLE_COPY_MOVE(Twin)
    TestTree &tree;
    QByteArray base;
    EngineFixture engine;
    vell::FolderPairList pairs;
    qsizetype logSeen = 0;
    std::unique_ptr<vell::MirrorController> controller;
    // One run of every couple, as the timer starts it.
    TwinRun run();
};

// Two programs mirroring identical couples "A/src" → "A/dst" and "B/src" → "B/dst" in one temporary tree, so that
// two ways of running (watched and full, pooled and sequential copies) can be held to the same results.
class TwinCouples
{
    QString m_modes; // first: the twins are built from it

public:
    // The couple's modes and options as EngineFixture::apply takes them, plus "target=src/in" for another target.
    explicit TwinCouples(const QString &modes) : m_modes(modes) {}
    // The target named in the modes ("target=src/in"), else "dst".
    [[nodiscard]] static QByteArray targetOf(const QString &modes);
    TestTree tree;
    QByteArray targetRel = targetOf(m_modes);
    Twin a{tree, "A", m_modes};
    Twin b{tree, "B", m_modes};
    // Whether every folder of A lists its names in the same order as B's: then the runs' lines must come in the
    // same order too.
    [[nodiscard]] bool sameListingOrder() const;
    // The first difference between two runs, empty when none; lines and failures compared in order or as sets.
    [[nodiscard]] static QString difference(const TwinRun &a, const TwinRun &b, bool inOrder);
    // The twin's source and target as TestTree::snapshot gives them, "src/..." and "dst/...".
    [[nodiscard]] QByteArrayList snapshot(const Twin &twin) const;
    // After changes made during A's run: A's target may keep what its walk saw of a source caught mid-change (a
    // folder made and removed again), which a couple that does not remove obsolete items keeps for ever. Removes
    // from A's target what B's lacks; false when the twins differ otherwise.
    bool dropTransientExtras();
    // The lines of x that y lacks, joined.
    [[nodiscard]] static QByteArray unlike(const QByteArrayList &x, const QByteArrayList &y);
    // Source items missing from the target ("" when none): names, contents and link texts, not modes or attributes.
    // exact: target items the source lacks too.
    [[nodiscard]] QByteArray unmirrored(const Twin &twin, bool exact) const;
    // The source's items in unmirrored()'s form, for lost().
    [[nodiscard]] QByteArrayList sourceItems(const Twin &twin) const;
    // Files and links of `before` (a snapshot) found after the run neither in the source nor in the target at their
    // place with the same content: what the run lost ("" when nothing).
    [[nodiscard]] QByteArray lost(const Twin &twin, const QByteArrayList &before) const;
};
