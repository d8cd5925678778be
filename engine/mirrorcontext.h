#pragma once

#include "config/settings.h"
#include "engine/enginehost.h"
#include "engine/runstate.h"
#include "oplog/logwords.h"
#include "platform/systeminfo.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <functional>

namespace vell {

// The modes of the couple being mirrored, taken just before its walk.
struct RunFlags
{
    bool Deplacer = false;
    bool Renommer = false;
    bool Nouveau = false;
};

// Writes one line to the day's log; false when it could not be written.
using LogLineWriter = std::function<bool(const QString &line)>;
// The extension of a Finder signature (type + creator), empty when unknown.
using ExtensionLookup = std::function<QString(const QString &signature)>;

// What a couple's mirror walk saw of its target, for the removal walk that
// follows it: the target folders (relative to the target, "" for the target
// itself) whose whole sub-tree held nothing the source lacks when the two
// were listed. The removal walk passes them over instead of listing both
// trees again; a folder not noted is walked as ever.
struct CleanTargets
{
    QByteArray couple; // the couple's folders and mode, as CoupleKey() gives them
    QSet<QByteArray> folders;

    [[nodiscard]] bool covers(const QByteArray &coupleKey, const QByteArray &rel) const
    {
        return !couple.isEmpty() && coupleKey == couple && folders.contains(rel);
    }
};

// Everything one couple's walks read and write. The settings are read at
// each use, so a change made during a yield takes effect at once.
struct MirrorContext
{
    const Settings &settings;
    const SystemInfo &system;
    RunState &state;
    EngineHost &host;
    RunFlags flags;
    LogWords words;
    LogLineWriter AppendLogLine;          // empty: lines are dropped
    ExtensionLookup ExtensionForSignature; // empty: no extension is known
    CleanTargets cleanTargets;             // left by MirrorFolder for RemoveObsolete

    [[nodiscard]] bool logsFiles() const { return settings.Logs && settings.FichiersLogs; }
    // Hands the line to the log when file lines are wanted; false only when
    // a wanted line could not be written.
    bool logLine(const QString &line) const
    {
        if (!logsFiles() || !AppendLogLine)
            return true;
        return AppendLogLine(line);
    }
};

// Lets the interface breathe `Performance` times (not at all below 1).
inline void YieldToInterface(const Settings &settings, EngineHost &host)
{
    if (settings.Performance >= 1)
        host.yieldToInterface(settings.Performance);
}

} // namespace vell
