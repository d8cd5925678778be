#pragma once

#include "common/enginefixture.h"
#include "engine/watchbook.h"
#include <memory>

// Random changes to a couple's folders, drawn from a seed so that a failing round can be replayed. Each change is a
// printable value applied the same way to twin trees ("A/src/f" and "B/src/f"): times are set from a counter, never
// from the clock, so twins stay byte- and time-identical.
class TreeMutator
{
public:
    enum class Kind {
        Create, Modify, Truncate, Delete, Rename, MoveAcross, Mkdir, RemoveTree, RenameFolder, FileToFolder,
        FolderToFile, ChmodFile, ChmodFolder, DosAttrib, UserXattr, Acl, Symlink, Retarget, HardLink, Touch
    };
    struct Op
    {
        Kind kind;
        QByteArray path, to, data; // below the twin's folder ("src/a/f"); a new path or a link's text; bytes written
        int64_t time = 0;
        unsigned mode = 0;
        [[nodiscard]] QByteArray text() const;
    };
    explicit TreeMutator(uint64_t seed) : m_state(seed) {}
    bool linksBeside = false; // hard links beside their file only: one in a folder no run watches is heard by no one
    uint64_t below(uint64_t bound); // splitmix64, in [0, bound)
    // A change drawn against what `tree` holds at base/top ("A", "src"); nothing below `spare` is touched (a target
    // nested in its source). Trees stay at most 40 files, 10 folders, 3 levels.
    Op draw(const TestTree &tree, const QByteArray &base, const QByteArray &top, const QByteArray &spare = {});
    // Applies op below base ("A"); false (with the failing step in `why`) when a system call failed.
    static bool apply(TestTree &tree, const QByteArray &base, const Op &op, QByteArray *why);
    static QByteArray texts(const std::vector<Op> &ops);

private:
    uint64_t m_state;
    int64_t m_time = 1600000000;
    int m_serial = 0;
};

// What one run of a twin did, as its program shows it: paths are made relative to the twin's folder ("<twin>/").
struct TwinRun
{
    vell::RunTotals totals;
    QStringList lines, failures; // what the run added to the day's log (items, then the summary); failures in order
    QString summary;             // the status line
    int yields = 0;
    [[nodiscard]] bool changed() const // the counters a run with nothing to do leaves at 0
    {
        return totals.FilesCreated || totals.FilesModified || totals.FilesRemoved || totals.SecuritiesCopied
            || totals.AttributesCopied || totals.FoldersCreated || totals.FoldersRemoved;
    }
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
    std::function<void(vell::WatchSystem &)> tune; // changes the kernel side of the watches, when set
    std::unique_ptr<vell::MirrorController> controller;
    TwinRun run(); // one run of every couple, as the timer starts it
    [[nodiscard]] const vell::WatchStats &stats() const { return controller->watchBook()->stats(); }
};

// Two programs mirroring identical couples "A/src" → "A/dst" and "B/src" → "B/dst" in one temporary tree, so that
// two ways of running (watched and full, pooled and sequential copies) can be held to the same results.
class TwinCouples
{
    QString m_modes; // first: the twins are built from it

public:
    // The couple's modes and options as EngineFixture::apply takes them, plus "target=src/in" for another target.
    explicit TwinCouples(const QString &modes, const QByteArrayList &items = {});
    TestTree tree;
    QByteArray targetRel;
    Twin a{tree, "A", m_modes};
    Twin b{tree, "B", m_modes};
    [[nodiscard]] bool sameListingOrder() const; // every folder of A lists as B's: the runs' lines come in order
    // The first difference between two runs, "" when none; lines and failures compared in order or as sets.
    [[nodiscard]] static QString difference(const TwinRun &a, const TwinRun &b, bool inOrder);
    [[nodiscard]] QByteArrayList snapshot(const Twin &twin) const; // "src/...", "dst/..." as TestTree gives them
    // After changes made during A's run: A's target may keep what its walk saw of a source caught mid-change (a
    // folder made and removed again), which a couple that does not remove obsolete items keeps for ever. Removes
    // from A's target what B's lacks; false when the twins differ otherwise.
    bool dropTransientExtras();
    // Makes B's folders a copy of A's (cp -a), for twins a run left apart for good; false when cp failed.
    bool copyAToB();
    [[nodiscard]] static QByteArray unlike(const QByteArrayList &x, const QByteArrayList &y); // x's lines y lacks
    // Source items missing from the target ("" when none): names, contents and link texts, not modes or attributes.
    // exact: target items the source lacks too.
    [[nodiscard]] QByteArray unmirrored(const Twin &twin, bool exact) const;
    [[nodiscard]] QByteArrayList sourceItems(const Twin &twin) const; // in unmirrored()'s form, for lost()
    // Files and links of `before` (sourceItems) found after the run neither in the source nor in the target at their
    // place with the same content: what the run lost ("" when nothing).
    [[nodiscard]] QByteArray lost(const Twin &twin, const QByteArrayList &before) const;
};
