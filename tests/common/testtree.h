#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>

// A fresh temporary folder with helpers that make files, folders, links, extended attributes and exact times, all by
// relative byte paths.
class TestTree
{
public:
    TestTree();
    ~TestTree();
    Q_DISABLE_COPY_MOVE(TestTree)
    [[nodiscard]] QByteArray root() const { return m_root; }
    [[nodiscard]] QString rootText() const { return m_dir.path(); }
    // root + "/" + rel (rel may be empty).
    [[nodiscard]] QByteArray path(const QByteArray &rel) const { return rel.isEmpty() ? m_root : m_root + '/' + rel; }
    [[nodiscard]] QString pathText(const QByteArray &rel) const { return QFile::decodeName(path(rel)); }
    bool mkdir(const QByteArray &rel);           // parents made too
    bool write(const QByteArray &rel, const QByteArray &data); // parents made too
    bool symlink(const QByteArray &rel, const QByteArray &text);
    bool mkfifo(const QByteArray &rel);
    bool setMtime(const QByteArray &rel, int64_t sec, long nsec = 0); // link itself for links
    bool setMode(const QByteArray &rel, unsigned mode);
    bool setXattr(const QByteArray &rel, const QByteArray &name, const QByteArray &value);
    bool setStream(const QByteArray &rel, const QByteArray &stream, const QByteArray &data);
    [[nodiscard]] bool exists(const QByteArray &rel) const; // lstat succeeds
    [[nodiscard]] bool isDir(const QByteArray &rel) const;
    [[nodiscard]] bool isLink(const QByteArray &rel) const;
    [[nodiscard]] QByteArray read(const QByteArray &rel) const;
    [[nodiscard]] QByteArray linkText(const QByteArray &rel) const;
    [[nodiscard]] QByteArray xattr(const QByteArray &rel, const QByteArray &name) const; // empty when absent
    [[nodiscard]] bool hasXattr(const QByteArray &rel, const QByteArray &name) const;
    [[nodiscard]] QByteArray stream(const QByteArray &rel, const QByteArray &stream) const;
    [[nodiscard]] unsigned mode(const QByteArray &rel) const; // permission bits, 0 when absent
    [[nodiscard]] int64_t mtimeSec(const QByteArray &rel) const;
    [[nodiscard]] long mtimeNsec(const QByteArray &rel) const;
    [[nodiscard]] QByteArrayList entries(const QByteArray &rel) const; // sorted, no . and ..
    // Makes the items described, each by its path from the root: "a/f" a file holding "x", "a/f=text" one holding text,
    // either followed by "@seconds[.nine digits]" (its time, else 1000000000), "#0x24" (its user.DOSATTRIB) and "%640"
    // (its mode); "a/" an empty folder (with "#" and "%" as well); "a/l->text" a link; "a/p|" a FIFO; "a/h=>b/f" a hard
    // link to b/f; "a/f$NAME=bytes" the named stream NAME of the item a/f.
    bool build(const QByteArrayList &items);
    // Every item below rel in the same form, sorted: a folder only when it is empty or has a mode or DOSATTRIB of its
    // own, a file's text only when it is not "x", modes only when not 644 (files) or 755 (folders), no times; named
    // streams a line each.
    [[nodiscard]] QByteArrayList snapshot(const QByteArray &rel = {}) const;
    // Gives rel and every folder (755) and file (644) below it the usual mode back, top down.
    void resetModes(const QByteArray &rel = {}) const;
    // rel/name/name/.../file, `depth` folders deep, made one openat at a time (the paths may be longer than PATH_MAX).
    bool makeChain(const QByteArray &rel, const QByteArray &name, int depth, const QByteArray &file);

private:
    QTemporaryDir m_dir;
    QByteArray m_root;
};

// True when the tests run as root, where permission denials do not happen.
bool RunningAsRoot();
