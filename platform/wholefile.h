#pragma once

// Whole files by path: the program's own files (Vell.ini, Vell.w,
// Signatures.txt, the daily logs) read at once, replaced atomically or
// appended to. Paths go through the path codec. Every call retries EINTR
// and returns 0 or -errno; nothing here logs or throws.

#include <QByteArray>
#include <QString>

namespace vell::platform {

// Reads a whole file into `out`. Returns 0 or -errno (-ENOENT when absent);
// `out` is empty after a failure.
[[nodiscard]] int readWholeFile(const QString &path, QByteArray &out);

// Replaces the content of `path` by `data` so that a crash, a kill or a full
// disk at any moment leaves either the old or the new content whole: the
// data go to a hidden temporary file beside it (a stale one from an earlier
// crash is removed first), are flushed with fsync, keep the old file's
// permissions, and the file is renamed over the old one; the folder is then
// flushed. A link at `path` is followed, so the file it names is replaced.
// A write that stops part way (full disk, quota, file size limit) fails
// with the system's reason. Returns 0 or -errno; on failure the old file
// is untouched and the temporary file is removed.
[[nodiscard]] int writeFileAtomically(const QString &path, const QByteArray &data);

// The name of the temporary file writeFileAtomically() uses for `path`.
[[nodiscard]] QString atomicTemporaryPath(const QString &path);

// Appends `data` to the regular file at `path`, creating it (mode 0666 less
// the umask) when missing; with `exclusive`, fails with -EEXIST instead of
// appending to an existing file. The file is opened, written and closed
// within the call, so a crash never leaves it open. Anything but a regular
// file is refused without blocking: -EINVAL, or -ENXIO for a FIFO that no
// one reads.
[[nodiscard]] int appendToFile(const QString &path, const QByteArray &data, bool exclusive);

} // namespace vell::platform
