#include "platform/regularfiles.h"

#include "platform/fileops.h"
#include "platform/syscalls.h"
#include "platform/uniquefd.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vell::platform {

namespace {

// The entry's type without following a link, from the listing when the
// file system reports it.
bool isRegularEntry(int dirFd, const struct dirent *entry)
{
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_REG;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

} // namespace

int entryExists(const QByteArray &path)
{
    struct stat st;
    return sys::statAt(AT_FDCWD, path, st);
}

// Not listFolder: that one also removes the stale temporary
// files of an interrupted copy as it lists, and the purge must delete
// nothing but the daily logs it names.
int listRegularFiles(const QByteArray &folder, QByteArrayList &names)
{
    names.clear();
    const int opened = openFolderPath(folder);
    if (opened < 0)
        return opened;
    DIR *dir = ::fdopendir(opened);
    if (!dir) {
        const int error = -errno;
        (void)::close(opened);
        return error;
    }
    const int dirFd = ::dirfd(dir);
    int result = 0;
    for (;;) {
        errno = 0;
        const struct dirent *entry = ::readdir(dir);
        if (!entry) {
            result = errno != 0 ? -errno : 0;
            break;
        }
        if (isRegularEntry(dirFd, entry))
            names.append(QByteArray(entry->d_name));
    }
    (void)::closedir(dir); // read-only: nothing to lose
    return result < 0 ? result : int(names.size());
}

int deleteRegularFile(const QByteArray &folder, const QByteArray &name)
{
    const int opened = openFolderPath(folder);
    if (opened < 0)
        return opened;
    const UniqueFd dir(opened);
    EntryInfo entry;
    if (const int r = lookUp(dir.get(), name, entry, false); r < 0)
        return r;
    if (entry.kind != EntryKind::File)
        return -EINVAL;
    // deleteFile never removes a folder and removes a link itself, so an
    // entry swapped since the check cannot take anything else with it.
    return deleteFile(dir.get(), name);
}

} // namespace vell::platform
