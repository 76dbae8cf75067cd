#pragma once

#include "editor/keylistbox.h"
#include "editor/mainwindow.h"

#include <QPlainTextEdit>

namespace Wordloom {

// Takes over a translation for each of the first keys through the window's
// handlers: the work of the session the crash drill kills, and of the
// uninterrupted session it is compared with.
inline void drillSteps(MainWindow &window, int steps)
{
    auto *keys = window.findChild<KeyListBox *>(QStringLiteral("lpKey"));
    auto *memo = window.findChild<QPlainTextEdit *>(QStringLiteral("lpValue"));
    for (int i = 0; i < steps; ++i) {
        keys->selectRow(i % int(window.pack().keys().count()));
        window.lpKeyChange();
        memo->setPlainText(QStringLiteral("Übung %1").arg(i));
        window.submitActionExecute();
    }
}

} // namespace Wordloom
