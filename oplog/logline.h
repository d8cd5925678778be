#pragma once

#include <QString>

namespace vell {

// Escapes &, < and > so that a file name never turns into markup.
[[nodiscard]] QString HtmlEscaped(const QString &text);

// "<small>" + words + " - " + path + "</small><br>", path escaped.
[[nodiscard]] QString FileLogLine(const QString &words, const QString &path);
// "<small><i>" + words + "</i> - " + path + "</small><br>", path escaped.
[[nodiscard]] QString FolderLogLine(const QString &words, const QString &path);

} // namespace vell
