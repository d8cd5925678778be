#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>

// A fresh temporary folder with helpers that make files, folders, links,
// extended attributes and exact times, all by relative byte paths.
class TestTree
{
public:
    TestTree();

    [[nodiscard]] bool isValid() const { return m_dir.isValid(); }
    [[nodiscard]] QByteArray root() const { return m_root; }
    [[nodiscard]] QString rootText() const;
    // root + "/" + rel (rel may be empty).
    [[nodiscard]] QByteArray path(const QByteArray &rel) const;
    [[nodiscard]] QString pathText(const QByteArray &rel) const;

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

private:
    QTemporaryDir m_dir;
    QByteArray m_root;
};

// True when the tests run as root, where permission denials do not happen.
bool RunningAsRoot();
