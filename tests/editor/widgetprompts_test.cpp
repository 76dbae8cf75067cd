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

// What the modal box showed: caption, icon, sorted buttons, default and Escape button.
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
        seen = QStringList({box->windowTitle(), QString::number(box->icon()), buttons.join(QLatin1Char(',')),
                               box->defaultButton()->text(), box->escapeButton()->text()})
                   .join(QLatin1Char(' '));
        seenText = box->text();
        seenDetails = box->detailedText();
        for (QAbstractButton *shown : box->buttons())
            if (shown->text() == button)
                return shown->click();
        QTest::keyClick(box, Qt::Key_Escape);
    });
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
        const char *button, *shown;
        int result;
    } boxes[] = {
        {unsaved, "", warning, int(UnsavedAnswer::Cancel)},
        {unsaved, "&Nein", warning, int(UnsavedAnswer::No)},
        {unsaved, "&Ja", warning, int(UnsavedAnswer::Yes)},
        {confirm, "", "Bestätigen 4 &Ja,&Nein &Ja &Nein", 0},
        {confirm, "&Ja", "Bestätigen 4 &Ja,&Nein &Ja &Nein", 1},
        {info, "", "Informationen 1 OK OK OK", -1},
        {error, "", "Wordloom 3 OK OK OK", -1},
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
