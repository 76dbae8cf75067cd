#pragma once

#include <QObject>

class QWidget;

namespace Wordloom {

class ActionTable;

// Hands the key combinations the action table claims to the window's
// shortcuts before the focused control; the rest stays the control's.
// Watches every focusable control the window holds when it is made.
class ShortcutRouter : public QObject {
public:
    ShortcutRouter(QWidget *window, const ActionTable &actions);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const ActionTable &mActions;
};

} // namespace Wordloom
