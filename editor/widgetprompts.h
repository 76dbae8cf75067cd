#pragma once

#include "editor/prompts.h"

#include <QStringList>

class QWidget;

namespace Wordloom {

// Shows the real boxes and dialogs, with the German captions and buttons.
class WidgetPrompts : public Prompts {
public:
    void setParentWidget(QWidget *parent) { mParent = parent; }

    void showInfo(const QString &message) override;
    void showError(const QString &message) override;
    UnsavedAnswer askUnsavedChanges(const QString &question) override;
    bool confirm(const QString &question) override;
    RecoveryAnswer askRecovery(const QString &question) override;
    QString openFile(const FileDialogSettings &settings) override;
    QString saveFile(const FileDialogSettings &settings) override;

    // "Text (*.txt)|*.txt|All|*" as Qt's name filters.
    static QStringList nameFilters(const QString &filter);

private:
    QString runFileDialog(const FileDialogSettings &settings, bool save);
    QWidget *mParent = nullptr;
};

} // namespace Wordloom
