#pragma once

#include "common/testtree.h"
#include <QByteArray>
#include <QByteArrayList>
#include <cstdint>
#include <vector>

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
        QByteArray path; // below the twin's folder: "src/a/f"
        QByteArray to;   // a new name or path, a link's text
        QByteArray data; // the bytes written, an attribute's value
        int64_t time = 0;
        unsigned mode = 0;
        [[nodiscard]] QByteArray text() const;
    };

    explicit TreeMutator(uint64_t seed) : m_state(seed) {}
    // Hard links made only beside their file: a link made in a folder no
    // run watches (sub-folders not mirrored) is heard by no one, as one made
    // outside the couple; the periodic full run catches what goes through it.
    bool linksBeside = false;
    uint64_t next(); // splitmix64
    uint64_t below(uint64_t bound) { return bound == 0 ? 0 : next() % bound; }

    // A change drawn against what `tree` holds at base/top ("A", "src"); nothing below `spare` is touched (a target
    // nested in its source). Trees stay at most 40 files, 10 folders, 3 levels.
    Op draw(const TestTree &tree, const QByteArray &base, const QByteArray &top, const QByteArray &spare = {});
    // Applies op below base ("A"); false (with the failing step in `why`) when a system call failed.
    static bool apply(TestTree &tree, const QByteArray &base, const Op &op, QByteArray *why = nullptr);
    static QByteArray texts(const std::vector<Op> &ops);

private:
    uint64_t m_state;
    int64_t m_time = 1600000000;
    int m_serial = 0;
};
