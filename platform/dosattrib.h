#pragma once

// Samba's user.DOSATTRIB extended attribute. Its value is a NUL-terminated
// hexadecimal text ("0x20"), which older servers store alone, optionally
// followed by the NDR encoding of xattr_DOSATTRIB (librpc/idl/xattr.idl):
// the text, padding to 2, uint16 version, uint16 union level, padding to 4,
// then xattr_DosInfo1 (attrib first), xattr_DosInfo2Old (flags, attrib) or
// xattr_DosInfo3/4/5 (valid_flags, attrib, ...), or the 0xFFFF compat form
// (attrib alone). Not for use outside platform/.

#include <QByteArray>
#include <cstdint>

namespace vell::platform::dosattrib {

constexpr char XattrName[] = "user.DOSATTRIB";

// The DOS attribute bits of the value. False when the value is neither the
// text form nor a binary version that rewrite() can keep in step: such an
// attribute is treated as absent.
[[nodiscard]] bool parse(const QByteArray &value, uint32_t &attrib);

// The value with its attribute bits replaced by attrib, everything else
// kept (times, sizes, flags; the text rewritten as "0x..", or left empty
// when it was empty). False when parse() would fail.
[[nodiscard]] bool rewrite(const QByteArray &value, uint32_t attrib, QByteArray &out);

// Reads the user.DOSATTRIB of dirFd/name (a link's own, never its
// target's) and parses it. False when it is absent, unreadable or unknown.
[[nodiscard]] bool readAt(int dirFd, const QByteArray &name, uint32_t &attrib);

} // namespace vell::platform::dosattrib
