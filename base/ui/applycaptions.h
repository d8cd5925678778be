#pragma once

#include "base/caption.h"

#include <QList>

class QWidget;

namespace vell {

// Sets each caption on the child of `root` (or `root` itself) that bears
// its objectName: a menu's or a frame's title, an action's, a label's or a
// button's text, a window's title, or a tooltip. Returns the names found
// nowhere, so that a table and a form cannot drift apart unnoticed.
QStringList ApplyCaptions(QWidget *root, const QList<Caption> &captions);

} // namespace vell
