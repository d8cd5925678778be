#include "shell/headlessdialogs.h"

#include <cstdio>

namespace vell {

MessageAnswer HeadlessDialogs::messageBox(const QString &text, const QString &title, MessageIcon,
                                          MessageButtons buttons)
{
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::OkCancel: return MessageAnswer::Ok;
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel: return MessageAnswer::No;
    }
    return MessageAnswer::Ok;
}

std::optional<QString> HeadlessDialogs::inputBox(const QString &, const QString &, const QString &)
{
    return std::nullopt;
}

std::optional<QString> HeadlessDialogs::browseFolder(const QString &, const QString &) { return std::nullopt; }

bool HeadlessDialogs::openDocument(const QString &) { return false; }

} // namespace vell
