#pragma once

#include <QByteArray>
#include <QString>

namespace vell {

// File names on Linux are bytes. The window, the couples file and the logs
// work on text, so names are decoded as UTF-8 with every byte that is not
// part of valid UTF-8 mapped to U+DC80..U+DCFF; encoding maps those back.
// The round trip bytes -> text -> bytes is exact for every byte string.
[[nodiscard]] QString PathFromBytes(const QByteArray &bytes);
[[nodiscard]] QByteArray PathToBytes(const QString &text);

} // namespace vell
