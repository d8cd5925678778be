#pragma once

#include <QString>

namespace vell {

// What a walk did, or failed to do, to one item. The engine hands these to
// the log writer and to its host, which each render them their own way.
enum class ItemOperation {
    Creation,     // a missing target item was made
    Modification, // an out-of-date target file was overwritten
    Attributes,   // an item's attributes were set to its source's
    Security,     // an item's permissions were set to its source's
    Delete,       // an obsolete target item, or a moved source, was deleted
    Reading,      // a folder was read: only ever a failure
    Writing,      // the day's log was written: only ever a failure
};

struct ItemEvent
{
    ItemOperation operation = ItemOperation::Creation;
    bool folder = false;
    QString path;  // the full path of the target item (of the source for a source that cannot be read)
    int error = 0; // 0: done; otherwise the errno of the failure

    [[nodiscard]] bool failed() const { return error != 0; }
};

} // namespace vell
