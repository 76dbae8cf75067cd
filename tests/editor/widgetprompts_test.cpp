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

SeenBox seen;

// Notes what the modal box shows and answers it once it is up.
void answerBox(const std::function<void(QMessageBox *)> &answer)
{
    QTimer::singleShot(0, [answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box";
            return;
        }
        seen = SeenBox{box->windowTitle(), box->text(), box->icon(), {}, box->defaultButton()->text(), box->escapeButton()->text()};
        for (QAbstractButton *button : box->buttons())
            seen.buttons << button->text();
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
    answerBox(pressEscape);
    EXPECT_EQ(prompts.askUnsavedChanges(QStringLiteral("Frage?")), UnsavedAnswer::Cancel);
    EXPECT_EQ(seen.caption, QStringLiteral("Warnung"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    seen.buttons.sort();
    EXPECT_EQ(seen.buttons, QStringLiteral("&Ja,&Nein,Abbrechen").split(QLatin1Char(',')));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("&Ja"));
    EXPECT_EQ(seen.escapeButton, QStringLiteral("Abbrechen"));
    answerBox(click(QStringLiteral("&Nein")));
    EXPECT_EQ(prompts.askUnsavedChanges(QStringLiteral("Frage?")), UnsavedAnswer::No);
    answerBox(click(QStringLiteral("&Ja")));
    EXPECT_EQ(prompts.askUnsavedChanges(QStringLiteral("Frage?")), UnsavedAnswer::Yes);

    answerBox(pressEscape);
    EXPECT_FALSE(prompts.confirm(QStringLiteral("Überschreiben?")));
    EXPECT_EQ(seen.caption, QStringLiteral("Bestätigen"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.defaultButton, QStringLiteral("&Ja"));
    EXPECT_EQ(seen.escapeButton, QStringLiteral("&Nein"));
    answerBox(click(QStringLiteral("&Ja")));
    EXPECT_TRUE(prompts.confirm(QStringLiteral("Überschreiben?")));

    answerBox(pressEscape);
    prompts.showInfo(QStringLiteral("Doppel-Check bestanden"));
    EXPECT_EQ(seen.caption, QStringLiteral("Informationen"));
    EXPECT_EQ(seen.text, QStringLiteral("Doppel-Check bestanden"));
    EXPECT_EQ(seen.buttons, QStringList{QStringLiteral("OK")});

    answerBox(pressEscape);
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
