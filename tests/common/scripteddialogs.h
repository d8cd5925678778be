#pragma once

#include "base/userdialogs.h"
#include <QList>
#include <QStringList>

// Keeps each message box shown, answering with the next scripted answer (OK once none is left); input boxes and the
// folder browser take the next scripted text (a cancel once none is left); documents are only noted.
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
    std::optional<QString> inputBox(const QString &prompt, const QString &, const QString &initial) override
    {
        prompts.append(prompt);
        initials.append(initial);
        return typed.isEmpty() ? std::nullopt : std::optional<QString>(typed.takeFirst());
    }
    std::optional<QString> browseFolder(const QString &title, const QString &) override
    {
        prompts.append(title);
        return chosen.isEmpty() ? std::nullopt : std::optional<QString>(chosen.takeFirst());
    }
    bool openDocument(const QString &path) override
    {
        documents.append(path);
        return true;
    }
    QList<vell::MessageAnswer> answers; // taken from the front, one a box
    QList<Box> boxes;                   // in the order shown
    QStringList typed, chosen;          // answers of input boxes and of the folder browser
    QStringList prompts, initials, documents;
};
