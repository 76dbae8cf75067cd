#include "editor/widgetprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <vector>

namespace Wordloom {

namespace {

struct Button {
    QString text;
    QMessageBox::ButtonRole role;
};

// A message longer than this (a check listing thousands of names) shows its
// beginning in the box and the whole text in the box's scrollable details;
// laying out the whole of it in the box would freeze the program.
constexpr qsizetype kLongMessage = 600;

// Shows a box with the given buttons, the first the default and the one at
// escapeIndex chosen by Escape; returns the index of the button pressed.
int askBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
    std::initializer_list<Button> buttons, int escapeIndex)
{
    QMessageBox box(icon, caption, QString(), QMessageBox::NoButton, parent);
    box.setTextFormat(Qt::PlainText);
    if (text.size() > kLongMessage) {
        box.setText(text.left(kLongMessage) + QStringLiteral(" …"));
        box.setDetailedText(text);
    } else {
        box.setText(text);
    }
    std::vector<QPushButton *> added;
    for (const Button &button : buttons)
        added.push_back(box.addButton(button.text, button.role));
    box.setDefaultButton(added.front());
    box.setEscapeButton(added[size_t(escapeIndex)]);
    box.exec();
    const auto pressed = std::find(added.begin(), added.end(), box.clickedButton());
    return pressed == added.end() ? escapeIndex : int(pressed - added.begin());
}

} // namespace

void WidgetPrompts::showInfo(const QString &message)
{
    askBox(mParent, QMessageBox::Information, QStringLiteral("Informationen"), message,
        {{QStringLiteral("OK"), QMessageBox::AcceptRole}}, 0);
}

void WidgetPrompts::showError(const QString &message)
{
    askBox(mParent, QMessageBox::Critical, QApplication::applicationName(), message,
        {{QStringLiteral("OK"), QMessageBox::AcceptRole}}, 0);
}

UnsavedAnswer WidgetPrompts::askUnsavedChanges(const QString &question)
{
    const int answer = askBox(mParent, QMessageBox::Warning, QStringLiteral("Warnung"), question,
        {{QStringLiteral("&Ja"), QMessageBox::YesRole}, {QStringLiteral("&Nein"), QMessageBox::NoRole},
            {QStringLiteral("Abbrechen"), QMessageBox::RejectRole}},
        2);
    return answer == 0 ? UnsavedAnswer::Yes : answer == 1 ? UnsavedAnswer::No : UnsavedAnswer::Cancel;
}

bool WidgetPrompts::confirm(const QString &question)
{
    return askBox(mParent, QMessageBox::Question, QStringLiteral("Bestätigen"), question,
               {{QStringLiteral("&Ja"), QMessageBox::YesRole}, {QStringLiteral("&Nein"), QMessageBox::NoRole}}, 1)
        == 0;
}

RecoveryAnswer WidgetPrompts::askRecovery(const QString &question)
{
    const int answer = askBox(mParent, QMessageBox::Question, QStringLiteral("Wiederherstellen"), question,
        {{QStringLiteral("Wiederherstellen"), QMessageBox::AcceptRole},
            {QStringLiteral("Verwerfen"), QMessageBox::DestructiveRole},
            {QStringLiteral("Später"), QMessageBox::RejectRole}},
        2);
    return answer == 0 ? RecoveryAnswer::Restore : answer == 1 ? RecoveryAnswer::Discard : RecoveryAnswer::Later;
}

QStringList WidgetPrompts::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString &description = parts[i];
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt reads the patterns from the parentheses at the end.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            result.append(description);
        else
            result.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return result;
}

QString WidgetPrompts::runFileDialog(const FileDialogSettings &settings, bool save)
{
    QFileDialog dialog(mParent, settings.title);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Overwriting is asked by the program itself.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setNameFilters(nameFilters(settings.filter));
    dialog.setDefaultSuffix(settings.defaultExtension);
    if (!settings.fileName.isEmpty()) {
        const QFileInfo info(settings.fileName);
        if (info.isAbsolute())
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString WidgetPrompts::openFile(const FileDialogSettings &settings)
{
    return runFileDialog(settings, false);
}

QString WidgetPrompts::saveFile(const FileDialogSettings &settings)
{
    return runFileDialog(settings, true);
}

} // namespace Wordloom
