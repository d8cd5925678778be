#include "oplog/logline.h"

namespace vell {

QString HtmlEscaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        default: out += c;
        }
    }
    return out;
}

QString FileLogLine(const QString &words, const QString &path)
{
    return QLatin1String("<small>") + words + QLatin1String(" - ") + HtmlEscaped(path) + QLatin1String("</small><br>");
}

QString FolderLogLine(const QString &words, const QString &path)
{
    return QLatin1String("<small><i>") + words + QLatin1String("</i> - ") + HtmlEscaped(path)
        + QLatin1String("</small><br>");
}

QString UnknownFolderLogLine(const QString &alert, const QString &folder)
{
    return HtmlEscaped(alert) + QLatin1String(": ") + HtmlEscaped(folder) + QLatin1String("<br>");
}

QString ItemLogLine(const LogWords &words, const ItemEvent &event)
{
    const QString operation = OperationWords(words, event.operation, event.folder);
    if (!event.failed())
        return event.folder ? FolderLogLine(operation, event.path) : FileLogLine(operation, event.path);
    const QString shown = event.folder ? QLatin1String("<i>") + operation + QLatin1String("</i>") : operation;
    return QLatin1String("<small><b>") + words.LogWordFailure + QLatin1String("</b> ") + shown + QLatin1String(" - ")
        + HtmlEscaped(event.path) + QLatin1String(": ") + HtmlEscaped(ErrorText(event.error))
        + QLatin1String("</small><br>");
}

QString SummaryLogEntry(const QString &line1, const QString &line2, const QString &line3)
{
    QString entry = HtmlEscaped(line1) + QLatin1String("<br>") + HtmlEscaped(line2) + QLatin1String("<br>");
    if (!line3.isEmpty())
        entry += HtmlEscaped(line3) + QLatin1String("<br>");
    return entry + QLatin1String("<hr>");
}

} // namespace vell
