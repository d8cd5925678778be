#include "base/ui/applycaptions.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QWidget>

namespace vell {

namespace {

QObject *findNamed(QWidget *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    return root->findChild<QObject *>(name);
}

void setText(QObject *object, const QString &text)
{
    if (auto *menu = qobject_cast<QMenu *>(object))
        menu->setTitle(text);
    else if (auto *action = qobject_cast<QAction *>(object))
        action->setText(text);
    else if (auto *frame = qobject_cast<QGroupBox *>(object))
        frame->setTitle(text);
    else if (auto *label = qobject_cast<QLabel *>(object))
        label->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(object))
        button->setText(text);
    else if (auto *widget = qobject_cast<QWidget *>(object))
        widget->setWindowTitle(text);
}

void setToolTip(QObject *object, const QString &text)
{
    if (auto *action = qobject_cast<QAction *>(object))
        action->setToolTip(text);
    else if (auto *widget = qobject_cast<QWidget *>(object))
        widget->setToolTip(text);
}

} // namespace

QStringList ApplyCaptions(QWidget *root, const QList<Caption> &captions)
{
    QStringList missing;
    for (const Caption &caption : captions) {
        QObject *object = findNamed(root, caption.objectName);
        if (!object) {
            missing.append(caption.objectName);
            continue;
        }
        if (caption.property == CaptionProperty::Text)
            setText(object, caption.text);
        else
            setToolTip(object, caption.text);
    }
    return missing;
}

} // namespace vell
