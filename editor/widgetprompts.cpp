#include "editor/widgetprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

namespace Wordloom {

namespace {

QMessageBox *makeBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text)
{
    auto *box = new QMessageBox(icon, caption, text, QMessageBox::NoButton, parent);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    return box;
}

} // namespace

void WidgetPrompts::showInfo(const QString &message)
{
    std::unique_ptr<QMessageBox> box(makeBox(mParent, QMessageBox::Information, QStringLiteral("Informationen"), message));
    QPushButton *ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    box->exec();
}

void WidgetPrompts::showError(const QString &message)
{
    std::unique_ptr<QMessageBox> box(makeBox(mParent, QMessageBox::Critical, QApplication::applicationName(), message));
    QPushButton *ok = box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    box->exec();
}

UnsavedAnswer WidgetPrompts::askUnsavedChanges(const QString &question)
{
    std::unique_ptr<QMessageBox> box(makeBox(mParent, QMessageBox::Warning, QStringLiteral("Warnung"), question));
    QPushButton *yes = box->addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton *no = box->addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton *cancel = box->addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(cancel);
    box->exec();
    if (box->clickedButton() == yes)
        return UnsavedAnswer::Yes;
    if (box->clickedButton() == no)
        return UnsavedAnswer::No;
    return UnsavedAnswer::Cancel;
}

bool WidgetPrompts::confirm(const QString &question)
{
    std::unique_ptr<QMessageBox> box(makeBox(mParent, QMessageBox::Question, QStringLiteral("Bestätigen"), question));
    QPushButton *yes = box->addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton *no = box->addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(no);
    box->exec();
    return box->clickedButton() == yes;
}

QStringList WidgetPrompts::nameFilters(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i];
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
