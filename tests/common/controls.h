#pragma once

#include <QObject>
#include <QString>

// A control of a window or dialog, found by its object name as every test
// names them; a missing one ends the test program (a renamed control).
template <typename T> T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}
