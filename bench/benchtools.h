#pragma once

// The helper modes of vellbench besides the mirror itself: the trees the
// benchmark runs on, and the bare walk it is measured against. Each
// returns 0 or -errno and prints nothing.

#include <QByteArray>
#include <cstdint>

namespace vell::bench {

// A tree of `files` files of 0..maxSize bytes in `folders` folders (the
// root counts as one), no folder deeper than `depth` below the root. The
// same seed gives the same names, contents and modification times.
struct TreeShape
{
    int files = 100000;
    int folders = 5000;
    int depth = 8;
    int maxSize = 16384;
    uint64_t seed = 1;
};
[[nodiscard]] int GenerateTree(const QByteArray &root, const TreeShape &shape);

// Changes an existing tree the same way every time for a given seed:
// modifyPercent of its files get new contents, a new size and a later
// modification time, deletePercent of the others are deleted.
[[nodiscard]] int MutateTree(const QByteArray &root, double modifyPercent, double deletePercent, uint64_t seed);

// `count` files of `size` bytes each, named big-N.bin, directly in root.
[[nodiscard]] int GenerateBigFiles(const QByteArray &root, int count, int64_t size, uint64_t seed);

// What a walk that only looks at each entry twice (the source listing's
// lstat and the lookup of the same name in the target) met.
struct WalkCount
{
    uint64_t files = 0;
    uint64_t folders = 0;
    uint64_t missingInTarget = 0;
};
[[nodiscard]] int BareWalk(const QByteArray &source, const QByteArray &target, WalkCount &count);
// The same examinations with the two trees listed at once by two threads,
// then matched by path: what a walk that used both cores could reach.
[[nodiscard]] int BareWalkParallel(const QByteArray &source, const QByteArray &target, WalkCount &count);

} // namespace vell::bench
