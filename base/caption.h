#pragma once

#include <QString>

namespace vell {

enum class CaptionProperty {
    Text,    // a label's or button's text, an action's text, a menu's or frame's title, a window's title
    ToolTip, // the control's tooltip
};

// One text of a window, for the control of that objectName: windows keep
// their texts as tables of these and set them in one pass.
struct Caption
{
    QString objectName;
    CaptionProperty property = CaptionProperty::Text;
    QString text;
};

} // namespace vell
