#pragma once

#include <QChar>

namespace vell {

// The Windows-1252 code page: the system's 8-bit character set of the
// Macintosh signatures and of the HTML logs that browsers read.

// The character of a byte. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) read as the C1 controls of the same value.
[[nodiscard]] QChar Windows1252Char(unsigned char byte);

// The byte of a code point, or -1 when the code page lacks it.
[[nodiscard]] int Windows1252Byte(char32_t codePoint);

} // namespace vell
