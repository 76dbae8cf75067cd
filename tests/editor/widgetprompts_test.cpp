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
    const auto unsaved = [&] { return int(prompts.askUnsavedChanges(QStringLiteral("Frage?"))); };
    const auto confirm = [&] { return int(prompts.confirm(QStringLiteral("Überschreiben?"))); };
    const auto info = [&] { return prompts.showInfo(QStringLiteral("Doppel-Check bestanden")), -1; };
    const auto error = [&] { return prompts.showError(QStringLiteral("Fehler.")), -1; };
    // What the box shows: caption, icon, buttons, default and Escape button.
    const char *const warning = "Warnung 2 &Ja,&Nein,Abbrechen &Ja Abbrechen";
    const struct {
        std::function<int()> ask;
        std::function<void(QMessageBox *)> answer;
        const char *shown;
        int result;
    } boxes[] = {
        {unsaved, pressEscape, warning, int(UnsavedAnswer::Cancel)},
        {unsaved, click(QStringLiteral("&Nein")), warning, int(UnsavedAnswer::No)},
        {unsaved, click(QStringLiteral("&Ja")), warning, int(UnsavedAnswer::Yes)},
        {confirm, pressEscape, "Bestätigen 4 &Ja,&Nein &Ja &Nein", 0},
        {confirm, click(QStringLiteral("&Ja")), "Bestätigen 4 &Ja,&Nein &Ja &Nein", 1},
        {info, pressEscape, "Informationen 1 OK OK OK", -1},
        {error, pressEscape, "Wordloom 3 OK OK OK", -1},
    };
    for (const auto &box : boxes) {
        SCOPED_TRACE(box.shown);
        answerBox(box.answer);
        EXPECT_EQ(box.ask(), box.result);
        seen.buttons.sort();
        EXPECT_EQ(QStringList({seen.caption, QString::number(seen.icon), seen.buttons.join(QLatin1Char(',')),
                      seen.defaultButton, seen.escapeButton})
                      .join(QLatin1Char(' ')),
            QString::fromUtf8(box.shown));
    }
    EXPECT_EQ(seen.text, QStringLiteral("Fehler."));
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
