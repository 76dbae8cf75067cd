#include "editor/widgetprompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace Wordloom;

namespace {

// What the modal box showed: its buttons, default and Escape button; its text and details.
QString seen, seenText, seenDetails;

// Notes what the modal box shows and answers it once it is up; an empty
// button text presses Escape.
void answerBox(const QString &button)
{
    QTimer::singleShot(0, [button] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        QStringList buttons;
        for (QAbstractButton *shown : box->buttons())
            buttons << shown->text();
        buttons.sort();
        seen = buttons.join(QLatin1Char(',')) + QLatin1Char(' ') + box->defaultButton()->text() + QLatin1Char(' ')
            + box->escapeButton()->text();
        seenText = box->text();
        seenDetails = box->detailedText();
        for (QAbstractButton *shown : box->buttons())
            if (shown->text() == button)
                return shown->click();
        QTest::keyClick(box, Qt::Key_Escape);
    });
}

} // namespace

TEST(WidgetPrompts, BoxesAnswerByTheirButtonsAndEscape)
{
    WidgetPrompts prompts;
    const auto unsaved = [&] { return int(prompts.askUnsavedChanges(QStringLiteral("Frage?"))); };
    const auto confirm = [&] { return int(prompts.confirm(QStringLiteral("Überschreiben?"))); };
    const auto error = [&] { return prompts.showError(QStringLiteral("Fehler.")), -1; };
    const struct {
        std::function<int()> ask;
        const char *button, *shown;
        int result;
    } boxes[] = {
        {unsaved, "", "&Ja,&Nein,Abbrechen &Ja Abbrechen", int(UnsavedAnswer::Cancel)},
        {unsaved, "&Nein", "&Ja,&Nein,Abbrechen &Ja Abbrechen", int(UnsavedAnswer::No)},
        {unsaved, "&Ja", "&Ja,&Nein,Abbrechen &Ja Abbrechen", int(UnsavedAnswer::Yes)},
        {confirm, "", "&Ja,&Nein &Ja &Nein", 0},
        {confirm, "&Ja", "&Ja,&Nein &Ja &Nein", 1},
        {error, "", "OK OK OK", -1},
    };
    for (const auto &box : boxes) {
        answerBox(QString::fromUtf8(box.button));
        EXPECT_EQ(box.ask(), box.result) << box.shown;
        EXPECT_EQ(seen, QString::fromUtf8(box.shown));
    }
    EXPECT_EQ(seenText, QStringLiteral("Fehler."));
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
    answerBox(QStringLiteral("OK"));
    prompts.showInfo(message);
    EXPECT_TRUE(seenText.startsWith(QStringLiteral("Syntax-Check nicht bestanden: größe0, größe1")));
    EXPECT_LT(seenText.size(), 700);
    EXPECT_EQ(seenDetails, message);
}
