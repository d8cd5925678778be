#include "treemutator.h"
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using Kind = TreeMutator::Kind;

constexpr int MaxFiles = 40, MaxFolders = 10, MaxDepth = 3;
const char *const Names[] = {"a", "b", "c", "d", "e", "f", "g", "h"};
const char *const LinkTexts[] = {"a", "../b", "/nowhere", "c/d"};
const unsigned FileModes[] = {0644, 0600, 0444, 0640, 0755};
const unsigned FolderModes[] = {0755, 0700, 0750, 0775};
const char *const DosWords[] = {"0x20", "0x21", "0x22", "0x24"};

struct Entry
{
    QByteArray path;
    int depth; // folders below the top
};
// What lies below a top: regular files, links and folders (the top first).
struct Contents
{
    std::vector<Entry> files, links, folders;
};

QByteArray parentOf(const QByteArray &rel) { return rel.left(qMax<qsizetype>(rel.lastIndexOf('/'), 0)); }

void collect(const TestTree &tree, const QByteArray &base, const QByteArray &rel, int depth,
             const QByteArray &spare, Contents &out)
{
    out.folders.push_back({rel, depth});
    for (const QByteArray &name : tree.entries(base + '/' + rel)) {
        const QByteArray item = rel + '/' + name;
        if (!spare.isEmpty() && item == spare)
            continue;
        const QByteArray full = base + '/' + item;
        if (tree.isLink(full))
            out.links.push_back({item, depth});
        else if (tree.isDir(full))
            collect(tree, base, item, depth + 1, spare, out);
        else
            out.files.push_back({item, depth});
    }
}

// How many folder levels lie below rel (0: none).
int heightOf(const Contents &c, const QByteArray &rel, int depth)
{
    int height = 0;
    for (const Entry &f : c.folders)
        if (f.path.startsWith(rel + '/'))
            height = qMax(height, f.depth - depth);
    return height;
}

// Removes base's item with everything in it; true when it is gone.
bool removeTree(const QByteArray &path)
{
    if (::unlink(path.constData()) == 0 || errno == ENOENT)
        return true;
    if (DIR *dir = ::opendir(path.constData())) {
        QByteArrayList names;
        while (const dirent *e = ::readdir(dir))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names << e->d_name;
        ::closedir(dir);
        for (const QByteArray &name : names)
            if (!removeTree(path + '/' + name))
                return false;
    }
    return ::rmdir(path.constData()) == 0;
}

// A POSIX access ACL in the kernel's xattr form: owner rw, one named user, group r, mask, others r.
QByteArray aclBlob(uint32_t user, uint16_t userPerm)
{
    const struct { uint16_t tag, perm; uint32_t id; } entries[] = {
        {0x01, 6, UINT32_MAX}, {0x02, userPerm, user}, {0x04, 4, UINT32_MAX}, {0x10, 7, UINT32_MAX},
        {0x20, 4, UINT32_MAX}};
    const uint32_t version = 2;
    QByteArray blob(reinterpret_cast<const char *>(&version), 4);
    for (const auto &e : entries) {
        blob.append(reinterpret_cast<const char *>(&e.tag), 2).append(reinterpret_cast<const char *>(&e.perm), 2);
        blob.append(reinterpret_cast<const char *>(&e.id), 4);
    }
    return blob;
}

} // namespace

uint64_t TreeMutator::next()
{
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

TreeMutator::Op TreeMutator::draw(const TestTree &tree, const QByteArray &base, const QByteArray &top,
                                  const QByteArray &spare)
{
    Contents c;
    collect(tree, base, top, 0, spare, c);
    const auto pick = [this](const std::vector<Entry> &from) { return from[below(from.size())]; };
    // A name in `folder` that is not there yet (nor the spared folder); empty when all are taken.
    const auto freshName = [&](const QByteArray &folder) {
        for (int tries = 0; tries < 8; ++tries) {
            const QByteArray path = folder + '/' + Names[below(std::size(Names))];
            if (!tree.exists(base + '/' + path) && path != spare)
                return path;
        }
        return QByteArray();
    };
    const auto fileOrLink = [&]() {
        std::vector<Entry> all = c.files;
        all.insert(all.end(), c.links.begin(), c.links.end());
        return all.empty() ? QByteArray() : pick(all).path;
    };
    static const std::pair<Kind, int> weights[] = {
        {Kind::Create, 12}, {Kind::Modify, 10}, {Kind::Truncate, 4}, {Kind::Delete, 8}, {Kind::Rename, 6},
        {Kind::MoveAcross, 6}, {Kind::Mkdir, 5}, {Kind::RemoveTree, 3}, {Kind::RenameFolder, 4},
        {Kind::FileToFolder, 3}, {Kind::FolderToFile, 3}, {Kind::ChmodFile, 4}, {Kind::ChmodFolder, 2},
        {Kind::DosAttrib, 4}, {Kind::UserXattr, 3}, {Kind::Acl, 2}, {Kind::Symlink, 4}, {Kind::Retarget, 3},
        {Kind::HardLink, 3}, {Kind::Touch, 5}};
    int total = 0;
    for (const auto &w : weights)
        total += w.second;
    int roll = int(below(uint64_t(total)));
    Kind kind = Kind::Create;
    for (const auto &w : weights)
        if ((roll -= w.second) < 0) {
            kind = w.first;
            break;
        }
    const bool full = c.files.size() + c.links.size() >= MaxFiles;
    const bool crowded = c.folders.size() >= MaxFolders;
    std::vector<Entry> shallow, inner; // folders that may hold a new folder; folders but the top
    for (const Entry &f : c.folders) {
        if (f.depth < MaxDepth)
            shallow.push_back(f);
        if (f.depth > 0)
            inner.push_back(f);
    }
    if ((full && (kind == Kind::Create || kind == Kind::Symlink || kind == Kind::HardLink))
        || (crowded && (kind == Kind::Mkdir || kind == Kind::FileToFolder)))
        kind = crowded ? Kind::RemoveTree : Kind::Delete;
    if (c.files.empty() && kind != Kind::Mkdir && kind != Kind::Symlink && kind != Kind::ChmodFolder)
        kind = Kind::Create;
    if (inner.empty() && (kind == Kind::RemoveTree || kind == Kind::RenameFolder || kind == Kind::FolderToFile))
        kind = Kind::Mkdir;

    Op op{kind, {}, {}, {}, ++m_time, 0};
    const QByteArray unique = 'n' + QByteArray::number(++m_serial);
    switch (kind) {
    case Kind::Create:
    case Kind::Mkdir:
    case Kind::Symlink:
        op.path = freshName(pick(kind == Kind::Mkdir ? shallow : c.folders).path);
        op.data = unique + QByteArray(int(below(48)), char('a' + below(26)));
        op.to = LinkTexts[below(std::size(LinkTexts))];
        break;
    case Kind::Modify: {
        op.path = pick(c.files).path;
        op.data = tree.read(base + '/' + op.path);
        for (char &ch : op.data) // same size, other bytes
            ch = ch >= 'a' && ch <= 'z' ? char('a' + (ch - 'a' + 1) % 26)
                : ch >= '0' && ch <= '9' ? char('0' + (ch - '0' + 1) % 10) : ch;
        if (op.data.isEmpty())
            op.data = unique;
        break;
    }
    case Kind::Truncate:
        op.path = pick(c.files).path;
        op.data = tree.read(base + '/' + op.path);
        op.data.truncate(op.data.size() / 2);
        break;
    case Kind::Delete:
    case Kind::Touch:
        op.path = fileOrLink();
        break;
    case Kind::Rename:
    case Kind::MoveAcross:
    case Kind::HardLink:
        op.path = kind == Kind::HardLink ? pick(c.files).path : fileOrLink();
        op.to = freshName(kind == Kind::Rename || (kind == Kind::HardLink && linksBeside) ? parentOf(op.path)
                                                                                        : pick(c.folders).path);
        break;
    case Kind::RemoveTree:
    case Kind::FolderToFile:
        op.path = pick(inner).path;
        op.data = unique;
        break;
    case Kind::RenameFolder: {
        const Entry moved = pick(inner);
        op.path = moved.path;
        const Entry into = pick(c.folders);
        if (into.depth + 1 + heightOf(c, moved.path, moved.depth) <= MaxDepth && into.path != moved.path
            && !into.path.startsWith(moved.path + '/'))
            op.to = freshName(into.path);
        break;
    }
    case Kind::FileToFolder: {
        const Entry file = pick(c.files);
        op.path = file.depth < MaxDepth ? file.path : QByteArray();
        op.data = unique;
        break;
    }
    case Kind::ChmodFile:
        op.path = pick(c.files).path;
        op.mode = FileModes[below(std::size(FileModes))];
        break;
    case Kind::ChmodFolder:
        op.path = pick(c.folders).path;
        op.mode = FolderModes[below(std::size(FolderModes))];
        break;
    case Kind::DosAttrib:
    case Kind::UserXattr:
    case Kind::Acl:
        op.path = below(4) == 0 ? pick(c.folders).path : pick(c.files).path;
        op.data = kind == Kind::DosAttrib ? QByteArray(DosWords[below(std::size(DosWords))]) + '\0'
                                          : unique;
        op.mode = unsigned(below(8));
        break;
    case Kind::Retarget:
        op.path = c.links.empty() ? QByteArray() : pick(c.links).path;
        op.to = LinkTexts[below(std::size(LinkTexts))] + unique;
        break;
    }
    const bool needsTo = kind == Kind::Rename || kind == Kind::MoveAcross || kind == Kind::HardLink
        || kind == Kind::RenameFolder;
    if (op.path.isEmpty() || (needsTo && op.to.isEmpty()))
        return Op{Kind::Touch, c.files.empty() ? top : pick(c.files).path, {}, {}, op.time, 0}; // nothing fitted
    return op;
}

bool TreeMutator::apply(TestTree &tree, const QByteArray &base, const Op &op, QByteArray *why)
{
    const QByteArray rel = base + '/' + op.path;
    const QByteArray path = tree.path(rel);
    const QByteArray to = tree.path(base + '/' + op.to);
    bool ok = true;
    switch (op.kind) {
    case Kind::Create:
    case Kind::Modify:
    case Kind::Truncate:
        ok = tree.write(rel, op.data) && tree.setMtime(rel, op.time);
        break;
    case Kind::Delete:
        ok = ::unlink(path.constData()) == 0;
        break;
    case Kind::Rename:
    case Kind::MoveAcross:
    case Kind::RenameFolder:
        ok = ::rename(path.constData(), to.constData()) == 0;
        break;
    case Kind::Mkdir:
        ok = ::mkdir(path.constData(), 0755) == 0;
        break;
    case Kind::RemoveTree:
        ok = removeTree(path);
        break;
    case Kind::FileToFolder:
        ok = ::unlink(path.constData()) == 0 && ::mkdir(path.constData(), 0755) == 0
            && tree.write(rel + "/x", op.data) && tree.setMtime(rel + "/x", op.time);
        break;
    case Kind::FolderToFile:
        ok = removeTree(path) && tree.write(rel, op.data) && tree.setMtime(rel, op.time);
        break;
    case Kind::ChmodFile:
    case Kind::ChmodFolder:
        ok = ::chmod(path.constData(), op.mode) == 0;
        break;
    case Kind::DosAttrib:
        ok = tree.setXattr(rel, "user.DOSATTRIB", op.data);
        break;
    case Kind::UserXattr:
        ok = tree.setXattr(rel, "user.note", op.data);
        break;
    case Kind::Acl: {
        const QByteArray blob = aclBlob(1000 + op.mode, uint16_t(op.mode & 7));
        ok = ::lsetxattr(path.constData(), "system.posix_acl_access", blob.constData(), size_t(blob.size()), 0) == 0
            || errno == EOPNOTSUPP; // a file system without ACLs: nothing changes
        break;
    }
    case Kind::Symlink:
    case Kind::Retarget:
        ok = (op.kind == Kind::Symlink || ::unlink(path.constData()) == 0)
            && ::symlink(op.to.constData(), path.constData()) == 0 && tree.setMtime(rel, op.time);
        break;
    case Kind::HardLink:
        ok = ::link(path.constData(), to.constData()) == 0;
        break;
    case Kind::Touch:
        ok = tree.setMtime(rel, op.time);
        break;
    }
    if (!ok && why)
        *why = op.text() + ": " + std::strerror(errno);
    return ok;
}

QByteArray TreeMutator::Op::text() const
{
    static const char *const words[] = {"create", "modify", "truncate", "rm", "mv", "mv", "mkdir", "rm -r", "mv",
                                        "file>folder", "folder>file", "chmod", "chmod", "dos", "xattr", "acl",
                                        "ln -s", "relink", "ln", "touch"};
    QByteArray text = words[int(kind)];
    if (mode && (kind == Kind::ChmodFile || kind == Kind::ChmodFolder))
        text += ' ' + QByteArray::number(mode, 8);
    if (kind == Kind::DosAttrib)
        text += ' ' + data.left(data.indexOf('\0'));
    if (kind == Kind::Symlink || kind == Kind::Retarget)
        text += ' ' + to;
    text += ' ' + path;
    if (kind == Kind::Rename || kind == Kind::MoveAcross || kind == Kind::RenameFolder || kind == Kind::HardLink)
        text += ' ' + to;
    return text;
}

QByteArray TreeMutator::texts(const std::vector<Op> &ops)
{
    QByteArrayList list;
    for (const Op &op : ops)
        list << op.text();
    return '[' + list.join("; ") + ']';
}
