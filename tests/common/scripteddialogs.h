#pragma once

#include "base/userdialogs.h"

#include <QList>

// Keeps each message box shown, answering with the next scripted answer (OK once none is left); cancels the rest.
class ScriptedDialogs final : public vell::UserDialogs
{
public:
    struct Box { QString text, title; vell::MessageIcon icon; vell::MessageButtons buttons; };
    vell::MessageAnswer messageBox(const QString &text, const QString &title, vell::MessageIcon icon,
                                   vell::MessageButtons buttons) override
    {
        boxes.append({text, title, icon, buttons});
        return answers.isEmpty() ? vell::MessageAnswer::Ok : answers.takeFirst();
    }
    std::optional<QString> inputBox(const QString &, const QString &, const QString &) override { return {}; }
    std::optional<QString> browseFolder(const QString &, const QString &) override { return {}; }
    bool openDocument(const QString &) override { return false; } // no document opens
    QList<vell::MessageAnswer> answers; // taken from the front, one a box
    QList<Box> boxes;                   // in the order shown
};
