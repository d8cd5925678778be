#pragma once

#include "oplog/itemevent.h"
#include "oplog/logwords.h"

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

// The line of one item: a file or folder line when it was done; when it
// failed, "<small><b>" + failure word + "</b> " + words + " - " + path +
// ": " + reason + "</small><br>" (words in italics for a folder).
[[nodiscard]] QString ItemLogLine(const LogWords &words, const ItemEvent &event);

// line1 + "<br>" + line2 + "<br>" (+ line3 + "<br>" when there is one) +
// "<hr>", all escaped: the run's summary lines as the status line shows them.
[[nodiscard]] QString SummaryLogEntry(const QString &line1, const QString &line2, const QString &line3 = {});

} // namespace vell
