#pragma once

#include <QByteArray>
#include <functional>

namespace vell::platform {

// Whether srcDir/srcName and dstDir/dstName hold the same content: two
// regular files with equal bytes, or two links with the same text (links
// are never followed; anything else is never the same). Reads both files
// whole; `proceed`, called between chunks, may stop a long comparison
// (-ECANCELED). 0 with `same` set, or -errno.
[[nodiscard]] int sameContent(int srcDir, const QByteArray &srcName, int dstDir, const QByteArray &dstName, bool &same,
                              const std::function<bool()> &proceed = {});

} // namespace vell::platform
