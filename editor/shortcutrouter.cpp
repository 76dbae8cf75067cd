#include "editor/shortcutrouter.h"

#include "editor/actiontable.h"

#include <QKeyEvent>
#include <QWidget>

namespace Wordloom {

ShortcutRouter::ShortcutRouter(QWidget *window, const ActionTable &actions) : QObject(window), mActions(actions)
{
    for (QWidget *widget : window->findChildren<QWidget *>())
        if (widget->window() == window && widget->focusPolicy() != Qt::NoFocus)
            widget->installEventFilter(this);
}

bool ShortcutRouter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride
        && mActions.claims(QKeySequence(static_cast<QKeyEvent *>(event)->keyCombination()), watched)) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace Wordloom
