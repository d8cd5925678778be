#include "engine/walkfolders.h"

#include "platform/fileops.h"
#include "platform/mounts.h"
#include "platform/pathcodec.h"


namespace vell {

using namespace platform;

namespace {

FolderId idOf(const UniqueFd &fd)
{
    FolderId id;
    if (fd.valid() && identityOf(fd.get(), id.dev, id.ino) == 0)
        id.known = true;
    return id;
}

} // namespace

EntryRole RoleOf(const EntryInfo &entry, bool subFolders, const FolderId &otherTop)
{
    if (!subFolders)
        return (entry.kind == EntryKind::Folder || (entry.attributes & Attr::Hidden)) ? EntryRole::PassOver
                                                                                      : EntryRole::File;
    if (entry.kind != EntryKind::Folder)
        return EntryRole::File;
    return otherTop.is(entry.dev, entry.ino) ? EntryRole::NestedTop : EntryRole::SubFolder;
}

CoupleFolders OpenCoupleFolders(const QString &source, const QString &target)
{
    CoupleFolders folders;
    folders.sourceText = source;
    folders.targetText = target;
    const int src = openFolderPath(PathToBytes(source));
    if (src >= 0)
        folders.source.reset(src);
    else
        folders.sourceError = src;
    const int tgt = openFolderPath(PathToBytes(target));
    if (tgt >= 0)
        folders.target.reset(tgt);
    folders.sourceId = idOf(folders.source);
    folders.targetId = idOf(folders.target);
    return folders;
}

QByteArray CoupleKey(const CoupleFolders &folders, bool subFolders)
{
    const auto id = [](const FolderId &folder) {
        return folder.known ? QByteArray::number(quint64(folder.dev)) + ':' + QByteArray::number(quint64(folder.ino))
                            : QByteArray("?");
    };
    QByteArray key;
    key.append(folders.sourceText.toUtf8()).append('\0').append(folders.targetText.toUtf8()).append('\0');
    key.append(id(folders.sourceId)).append(' ').append(id(folders.targetId)).append(subFolders ? " 1" : " 0");
    return key;
}

QByteArray JoinRelative(const QByteArray &rel, const QByteArray &name)
{
    if (rel.isEmpty())
        return name;
    QByteArray joined;
    joined.reserve(rel.size() + 1 + name.size());
    joined.append(rel).append('/').append(name);
    return joined;
}

QString ItemText(const QString &top, const QByteArray &rel, const QByteArray &name)
{
    const QByteArray tail = name.isEmpty() ? rel : JoinRelative(rel, name);
    if (tail.isEmpty())
        return top;
    return top + QLatin1Char('/') + PathFromBytes(tail);
}

void EnsureOpen(UniqueFd &fd, int rootFd, const QByteArray &rel)
{
    if (fd.valid() || rootFd < 0)
        return;
    const int reopened = openFolderBeneath(rootFd, rel);
    if (reopened >= 0)
        fd.reset(reopened);
}

UniqueFd OpenChild(const UniqueFd &parent, const QByteArray &name)
{
    if (!parent.valid())
        return UniqueFd();
    const int fd = openFolderAt(parent.get(), name);
    return UniqueFd(fd >= 0 ? fd : -1);
}

} // namespace vell
