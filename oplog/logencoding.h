#pragma once

#include <QByteArray>
#include <QString>

namespace vell {

// The log files are Windows-1252 without a charset declaration: the code
// page browsers assume for such pages, so the French and Portuguese accents
// show as written. Every character the code page lacks (Greek, Cyrillic,
// emoji...) becomes a decimal numeric reference "&#NNNN;", which browsers
// show whatever code page they assume.
//
// The text is markup already: &, < and > pass unchanged (names were
// escaped where they were put into the line). Two kinds of character are
// written as "&#65533;", the replacement character, because no browser
// shows anything sensible for them:
// - U+DC80..U+DCFF, which stand for bytes of a file name that were not
//   valid UTF-8 (and any other lone surrogate);
// - control characters other than tab (C0, DEL, C1): a line break inside a
//   file name would otherwise split an entry over two lines of the file.
[[nodiscard]] QByteArray LogFileBytes(const QString &markup);

} // namespace vell
