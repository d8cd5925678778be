#include "oplog/dailylog.h"

#include "oplog/logencoding.h"
#include "platform/regularfiles.h"
#include "oplog/logline.h"
#include "oplog/logpurge.h"
#include "platform/pathcodec.h"
#include "platform/wholefile.h"
#include "base/language.h"
#include "base/programidentity.h"

#include <QLocale>
#include <cerrno>

namespace vell {

namespace {

// Line ends are added after the encoding, which writes control characters
// inside a line as references.
constexpr char LineEnd[] = "\r\n";
const QLatin1String Extension(".htm");

QString namePrefix() { return QLatin1String("Log ") + ProductName + QLatin1Char(' '); }

QString heading(int32_t langue)
{
    return Trilingual{"Journal des opérations de miroir", "Mirroring Logs", "Jornal das operações de miror"}.in(langue);
}

// The value of `count` digits at `from`, or -1 when one is not a digit.
int digitsAt(const QString &text, qsizetype from, int count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The folder part of a path ("/" for a file at the root).
QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QString DailyLogFileName(const QString &pathLogs, const QDate &day)
{
    QString path = pathLogs;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + namePrefix() + day.toString(QStringLiteral("yyyy-MM-dd")) + Extension;
}

QDate DailyLogDay(const QString &fileName)
{
    const QString prefix = namePrefix();
    if (fileName.size() != prefix.size() + 10 + Extension.size() || !fileName.startsWith(prefix)
        || !fileName.endsWith(Extension))
        return {};
    const qsizetype at = prefix.size();
    if (fileName.at(at + 4) != QLatin1Char('-') || fileName.at(at + 7) != QLatin1Char('-'))
        return {};
    const int year = digitsAt(fileName, at, 4);
    const int month = digitsAt(fileName, at + 5, 2);
    const int day = digitsAt(fileName, at + 8, 2);
    if (year < 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day); // invalid for 2026-02-30 and the like
}

QStringList DailyLogHeader(int32_t langue, const QDate &day)
{
    const QString longDate = QLocale::system().toString(day, QLocale::LongFormat);
    return {
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QLatin1String("<title>Logs ") + HtmlEscaped(ProductName) + QLatin1String("</title>"),
        QStringLiteral("</head>"),
        QStringLiteral("<body>"),
        QLatin1String("<b><center><h1>") + heading(langue) + QLatin1String("</h1></center></b>"),
        QLatin1String("<center><h3>") + HtmlEscaped(longDate) + QLatin1String("</h3></center>"),
    };
}

bool OpenDailyLog(const QString &logFile, const Settings &settings)
{
    const int exists = platform::entryExists(PathToBytes(logFile));
    if (exists == 0)
        return true;
    if (exists != -ENOENT)
        return false;
    if (settings.PurgeLogs)
        PurgeBeforeNewLog(folderOf(logFile), settings.DelaiLogs);

    QDate day = DailyLogDay(logFile.mid(logFile.lastIndexOf(QLatin1Char('/')) + 1));
    if (!day.isValid())
        day = QDate::currentDate();
    // One write for the whole header: a second instance logging into the
    // same folder either creates the file itself or finds it complete.
    QByteArray header;
    for (const QString &line : DailyLogHeader(settings.Langue, day))
        header += LogFileBytes(line) + LineEnd;
    const int created = platform::appendToFile(logFile, header, true);
    return created == 0 || created == -EEXIST;
}

int AppendLogLine(const QString &logFile, const QString &line)
{
    return platform::appendToFile(logFile, LogFileBytes(line) + LineEnd, false);
}

} // namespace vell
