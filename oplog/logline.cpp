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

QString SummaryLogEntry(const QString &line1, const QString &line2)
{
    return HtmlEscaped(line1) + QLatin1String("<br>") + HtmlEscaped(line2) + QLatin1String("<br><hr>");
}

} // namespace vell
