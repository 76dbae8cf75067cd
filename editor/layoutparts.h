#pragma once

#include <QPushButton>
#include <QScreen>
#include <QWidget>

namespace Wordloom {

// Small helpers for building the window's panels.

template <typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

inline QWidget *panel(const char *name, QWidget *parent = nullptr)
{
    return named(new QWidget(parent), name);
}

// A button of fixed size that Enter in another control never presses.
inline QPushButton *fixedButton(const char *name, int width, int height)
{
    auto *button = named(new QPushButton, name);
    button->setFixedSize(width, height);
    button->setAutoDefault(false);
    return button;
}

// No margins and two pixels between the items.
template <typename L> L *tight(L *layout)
{
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    return layout;
}

// Opens a dialog at its stored position, the top left of the screen.
inline void placeAtStoredPosition(QWidget *dialog)
{
    if (const QScreen *screen = dialog->screen())
        dialog->move(screen->availableGeometry().topLeft());
}

inline void showInFront(QWidget *dialog)
{
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace Wordloom
