#include "platform/dosattrib.h"

#include "platform/littleendian.h"
#include "platform/syscalls.h"

#include <optional>
#include <sys/xattr.h>

namespace vell::platform::dosattrib {

namespace {

constexpr uint16_t CompatVersion = 0xFFFF;
constexpr uint32_t ValidAttrib = 0x1; // XATTR_DOSINFO_ATTRIB of valid_flags

// Where the parts of a value sit.
struct Layout
{
    QByteArray text;           // the hexadecimal text, without its NUL
    bool nulTerminated = false;
    bool binary = false;       // an NDR part of a known version follows
    uint16_t version = 0;
    qsizetype armOffset = 0;   // start of the xattr_DosInfo arm
    qsizetype attribOffset = 0;
    bool hasValidFlags = false; // versions 3 to 5 carry valid_flags first
};

qsizetype alignUp(qsizetype offset, qsizetype to) { return (offset + to - 1) / to * to; }

std::optional<uint32_t> parseHex(const QByteArray &text)
{
    QByteArray digits = text;
    if (digits.startsWith("0x") || digits.startsWith("0X"))
        digits = digits.mid(2);
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    bool ok = false;
    const uint32_t value = digits.toUInt(&ok, 16);
    return ok ? std::optional<uint32_t>(value) : std::nullopt;
}

// Offset of the attrib field inside the arm of a known version, or -1.
qsizetype attribOffsetInArm(uint16_t version)
{
    switch (version) {
    case 1:             // xattr_DosInfo1: attrib, ea_size, ...
    case CompatVersion: // xattr_DosInfoFFFFCompat: attrib
        return 0;
    case 2: // xattr_DosInfo2Old: flags, attrib, ...
    case 3: // xattr_DosInfo3: valid_flags, attrib, ...
    case 4: // xattr_DosInfo4: valid_flags, attrib, itime, create_time
    case 5: // xattr_DosInfo5: valid_flags, attrib, create_time
        return 4;
    default:
        return -1;
    }
}

// Splits a value; nullopt when it cannot be kept in step.
std::optional<Layout> layoutOf(const QByteArray &value)
{
    Layout layout;
    const qsizetype nul = value.indexOf('\0');
    layout.text = nul < 0 ? value : value.left(nul);
    layout.nulTerminated = nul >= 0;
    if (nul < 0)
        return parseHex(layout.text) ? std::optional<Layout>(layout) : std::nullopt;

    const qsizetype versionAt = alignUp(nul + 1, 2);
    if (value.size() < versionAt + 4) {
        // The text form, perhaps with padding after its NUL.
        return parseHex(layout.text) ? std::optional<Layout>(layout) : std::nullopt;
    }
    layout.version = readLe16(value, versionAt);
    const uint16_t level = readLe16(value, versionAt + 2);
    const qsizetype inArm = attribOffsetInArm(layout.version);
    layout.armOffset = alignUp(versionAt + 4, 4);
    layout.attribOffset = layout.armOffset + inArm;
    if (level != layout.version || inArm < 0 || value.size() < layout.attribOffset + 4)
        return std::nullopt; // an encoding we do not know: leave it to Samba
    layout.binary = true;
    layout.hasValidFlags = layout.version >= 3 && layout.version <= 5;
    if (!layout.text.isEmpty() && !parseHex(layout.text))
        return std::nullopt;
    return layout;
}

} // namespace

bool parse(const QByteArray &value, uint32_t &attrib)
{
    const std::optional<Layout> layout = layoutOf(value);
    if (!layout)
        return false;
    if (layout->binary) {
        const bool attribValid = !layout->hasValidFlags || (readLe32(value, layout->armOffset) & ValidAttrib);
        if (attribValid) {
            attrib = readLe32(value, layout->attribOffset);
            return true;
        }
    }
    const std::optional<uint32_t> hex = parseHex(layout->text);
    if (!hex)
        return false;
    attrib = *hex;
    return true;
}

bool rewrite(const QByteArray &value, uint32_t attrib, QByteArray &out)
{
    const std::optional<Layout> layout = layoutOf(value);
    if (!layout)
        return false;
    const QByteArray text = layout->text.isEmpty() ? QByteArray() : "0x" + QByteArray::number(attrib, 16);
    if (!layout->binary) {
        out = text;
        if (layout->nulTerminated)
            out.append('\0');
        return true;
    }
    // The text's length may change, so the NDR part is laid out again; the
    // arm itself (times, sizes, flags) is copied unchanged.
    out = text;
    out.append('\0');
    out.append(QByteArray(alignUp(out.size(), 2) - out.size(), '\0'));
    appendLe16(out, layout->version);
    appendLe16(out, layout->version);
    out.append(QByteArray(alignUp(out.size(), 4) - out.size(), '\0'));
    const qsizetype newArm = out.size();
    out.append(value.mid(layout->armOffset));
    writeLe32(out, newArm + (layout->attribOffset - layout->armOffset), attrib);
    if (layout->hasValidFlags)
        writeLe32(out, newArm, readLe32(out, newArm) | ValidAttrib);
    return true;
}

bool readAt(int dirFd, const QByteArray &name, uint32_t &attrib)
{
    // One call for the usual value; a larger one is read in full.
    const QByteArray path = sys::entryPath(dirFd, name);
    char buffer[256];
    const ssize_t n = ::lgetxattr(path.constData(), XattrName, buffer, sizeof buffer);
    if (n >= 0)
        return parse(QByteArray(buffer, n), attrib);
    if (errno != ERANGE)
        return false;
    QByteArray value;
    return sys::getXattr(path, XattrName, value) == 0 && parse(value, attrib);
}

} // namespace vell::platform::dosattrib
