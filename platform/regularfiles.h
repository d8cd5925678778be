#pragma once

// Folder calls for plain files by full path, as the log writer and its
// purge need them. Names as bytes, EINTR retried, 0 (or a count) on
// success and -errno on failure; nothing here logs or throws.

#include <QByteArray>
#include <QByteArrayList>

namespace vell::platform {

// 0 when an entry of that path exists (links not followed), -ENOENT when
// not, another -errno when it cannot be told.
[[nodiscard]] int entryExists(const QByteArray &path);

// The names of the regular files of a folder (links and folders left out,
// links never followed), listed afresh. Returns the count or -errno.
[[nodiscard]] int listRegularFiles(const QByteArray &folder, QByteArrayList &names);

// Deletes the entry `name` of the folder when it still is a regular file:
// never a folder, never through a link. 0 or -errno.
[[nodiscard]] int deleteRegularFile(const QByteArray &folder, const QByteArray &name);

} // namespace vell::platform
