#pragma once

#include <QString>

namespace vell {

// Escapes &, < and > so that a file name never turns into markup.
[[nodiscard]] QString HtmlEscaped(const QString &text);

// "<small>" + words + " - " + path + "</small><br>", path escaped.
[[nodiscard]] QString FileLogLine(const QString &words, const QString &path);
// "<small><i>" + words + "</i> - " + path + "</small><br>", path escaped.
[[nodiscard]] QString FolderLogLine(const QString &words, const QString &path);

// alert + ": " + folder + "<br>", both escaped. alert is the time and the
// unknown-folder text ("14:03:27 - Unknown source folder"), folder the
// folder path followed by "/", as the notice and the event log show them.
[[nodiscard]] QString UnknownFolderLogLine(const QString &alert, const QString &folder);

// line1 + "<br>" + line2 + "<br><hr>", both escaped: the run's two summary
// lines as the status line shows them.
[[nodiscard]] QString SummaryLogEntry(const QString &line1, const QString &line2);

} // namespace vell
