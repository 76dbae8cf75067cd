#include "editor/widgetprompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <functional>

using namespace Wordloom;

namespace {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
    QString escapeButton;
};

// Answers the modal box once it is up.
void answerBox(const std::function<void(QMessageBox *)> &answer)
{
    QTimer::singleShot(0, [answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box";
            return;
        }
        answer(box);
    });
}

void pressEscape(QMessageBox *box)
{
    QTest::keyClick(box, Qt::Key_Escape);
}

std::function<void(QMessageBox *)> click(const QString &text)
{
    return [text](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons())
            if (button->text() == text)
                button->click();
    };
}

} // namespace

TEST(WidgetPrompts, BoxesHaveTheGermanCaptionsButtonsDefaultsAndEscape)
{
    WidgetPrompts prompts;
    SeenBox seen;
    const auto capture = [&seen](std::function<void(QMessageBox *)> then) {
        return [&seen, then](QMessageBox *box) {
            seen = SeenBox{box->windowTitle(), box->text(), box->icon(), {}, {}, {}};
            for (QAbstractButton *button : box->buttons())
                seen.buttons << button->text();
            seen.defaultButton = box->defaultButton()->text();
            seen.escapeButton = box->escapeButton()->text();
            then(box);
        };
    };

    answerBox(capture(pressEscape));
    EXPECT_EQ(prompts.askUnsavedChanges(QStringLiteral("Frage?")), UnsavedAnswer::Cancel);
    EXPECT_EQ(seen.caption, QStringLiteral("Warnung"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons.size(), 3);
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("&Ja")) && seen.buttons.contains(QStringLiteral("&Nein"))
        && seen.buttons.contains(QStringLiteral("Abbrechen")));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("&Ja"));
    EXPECT_EQ(seen.escapeButton, QStringLiteral("Abbrechen"));
    answerBox(click(QStringLiteral("&Nein")));
    EXPECT_EQ(prompts.askUnsavedChanges(QStringLiteral("Frage?")), UnsavedAnswer::No);
    answerBox(click(QStringLiteral("&Ja")));
    EXPECT_EQ(prompts.askUnsavedChanges(QStringLiteral("Frage?")), UnsavedAnswer::Yes);

    answerBox(capture(pressEscape));
    EXPECT_FALSE(prompts.confirm(QStringLiteral("Überschreiben?")));
    EXPECT_EQ(seen.caption, QStringLiteral("Bestätigen"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.defaultButton, QStringLiteral("&Ja"));
    EXPECT_EQ(seen.escapeButton, QStringLiteral("&Nein"));
    answerBox(click(QStringLiteral("&Ja")));
    EXPECT_TRUE(prompts.confirm(QStringLiteral("Überschreiben?")));

    answerBox(capture(pressEscape));
    prompts.showInfo(QStringLiteral("Doppel-Check bestanden"));
    EXPECT_EQ(seen.caption, QStringLiteral("Informationen"));
    EXPECT_EQ(seen.text, QStringLiteral("Doppel-Check bestanden"));
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});

    answerBox(capture(pressEscape));
    prompts.showError(QStringLiteral("Fehler."));
    EXPECT_EQ(seen.caption, QStringLiteral("Wordloom"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});
}

TEST(WidgetPrompts, FiltersBecomeQtNameFilters)
{
    EXPECT_EQ(WidgetPrompts::nameFilters(QStringLiteral("Languagepacks (*.xml)|*.xml")),
        QStringList{QStringLiteral("Languagepacks (*.xml)")});
    EXPECT_EQ(WidgetPrompts::nameFilters(QStringLiteral("CSV|*.csv;*.txt|Alle Dateien (*.*)|*.*")),
        (QStringList{QStringLiteral("CSV (*.csv *.txt)"), QStringLiteral("Alle Dateien (*.*)")}));
}

TEST(WidgetPrompts, AVeryLongMessageKeepsItsWholeTextInTheDetails)
{
    WidgetPrompts prompts;
    QStringList names;
    for (int i = 0; i < 20000; ++i)
        names << QStringLiteral("größe%1").arg(i);
    const QString message = QStringLiteral("Syntax-Check nicht bestanden: ") + names.join(QStringLiteral(", "));
    QString shown, details;
    answerBox([&](QMessageBox *box) {
        shown = box->text();
        details = box->detailedText();
        click(QStringLiteral("OK"))(box);
    });
    prompts.showInfo(message);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Syntax-Check nicht bestanden: größe0, größe1")));
    EXPECT_LT(shown.size(), 700);
    EXPECT_EQ(details, message);
}
