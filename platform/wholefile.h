#pragma once

// Whole files by path: the program's own small files (Vell.ini, Vell.w,
// Signatures.txt) read at once or replaced atomically. Paths go through the
// path codec. Every call retries EINTR and returns 0 or -errno; nothing
// here logs or throws.

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

} // namespace vell::platform
