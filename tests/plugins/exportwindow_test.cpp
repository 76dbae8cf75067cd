#include "../support/testutil.h"
#include "pluginfixtures.h"

#include <QFile>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>

using namespace Wordloom;

namespace {

class ExportWindowTest : public EditorTest {
protected:
    void startWith(std::initializer_list<const char *> plugins)
    {
        installPlugins(path(QStringLiteral("Plugins")), plugins);
        window = std::make_unique<MainWindow>(prompts, clock, path(QStringLiteral("Plugins")));
    }
    QListWidget *modules() const { return control<QListWidget>("exportModules"); }
    QListWidgetItem *item(const QString &name) const { return modules()->findItems(name, Qt::MatchExactly).value(0); }
    void select(const QString &name) const { modules()->setCurrentItem(item(name)); }
    void doubleClick(const QString &name) const
    {
        control<QTabWidget>("PageControl1")->setCurrentIndex(1);
        window->show();
        // A double click starts with a click, which selects the entry.
        const QPoint at = modules()->visualItemRect(item(name)).center();
        QTest::mouseClick(modules()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(modules()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    Journal journal{path(QStringLiteral("journal.txt"))};
};

} // namespace

TEST_F(ExportWindowTest, NothingChosenOrLibraryGoneIsReported)
{
    EXPECT_FALSE(action("exportAction")->isEnabled());
    action("newFile")->trigger();
    EXPECT_TRUE(action("exportAction")->isEnabled());
    action("exportAction")->trigger();
    EXPECT_EQ(prompts.infos, QStringList({"Bitte ein Export-Modul auswählen"}));

    startWith({"recorder"});
    action("newFile")->trigger();
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("Plugins/recorder.so"))));
    select(QStringLiteral("Recorder"));
    action("exportAction")->trigger();
    EXPECT_EQ(prompts.infos.last(), QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
    EXPECT_TRUE(prompts.saveDialogs.empty());
}

TEST_F(ExportWindowTest, SaveDialogTakesThePluginsSettingsAndKeepsThem)
{
    startWith({"recorder"});
    action("newFile")->trigger();
    const struct {
        const char *extension;
        const char *name;
        const char *info[3];
        const char *title;
        const char *fileName;
    } rows[] = {
        {"csv", nullptr, {"demo", "app", "de"}, "Recorder-Export", "demo_app_de.csv"},
        {nullptr, "CSV", {"", "", ""}, "CSV-Export", "__.txt"},
        {"po", "", {"a b", "ü", "x.y"}, "-Export", "a b_ü_x.y.po"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.fileName);
        row.extension ? qputenv("WORDLOOM_TEST_EXTENSION", row.extension) : qunsetenv("WORDLOOM_TEST_EXTENSION");
        row.name ? qputenv("WORDLOOM_TEST_NAME", row.name) : qunsetenv("WORDLOOM_TEST_NAME");
        for (int i = 0; i < 3; ++i)
            setGridValue(i, QString::fromUtf8(row.info[i]));
        select(QStringLiteral("Recorder"));
        prompts.savePaths.push_back(QString());
        action("exportAction")->trigger();
        const FileDialogSettings &dialog = prompts.saveDialogs.back();
        EXPECT_EQ(dialog.title, QString::fromUtf8(row.title));
        EXPECT_EQ(dialog.fileName, QString::fromUtf8(row.fileName));
        EXPECT_EQ(dialog.filter, QStringLiteral("Text (*.txt)|*.txt|Alle Dateien (*.*)|*.*"));
        EXPECT_EQ(window->pack().info().lang, QString::fromUtf8(row.info[2]));
    }
    // Save As sets its own title, filter and name, not the default extension.
    prompts.savePaths.push_back(QString());
    action("saveasAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().title, QStringLiteral("Speichern als..."));
    EXPECT_EQ(prompts.saveDialogs.back().defaultExtension, QStringLiteral("po"));
}

TEST_F(ExportWindowTest, DoubleClickExportsAndAFailureIsShown)
{
    startWith({"failing", "recorder"});
    action("newFile")->trigger();
    const QString target = path(QStringLiteral("out.txt"));
    prompts.savePaths.push_back(target);
    doubleClick(QStringLiteral("Recorder"));
    const QStringList calls = journal.lines();
    EXPECT_TRUE(calls.contains(QStringLiteral("setFileName [") + target + QLatin1Char(']')));
    EXPECT_EQ(calls.last(), QStringLiteral("Free"));
    // An export changes neither the pack nor its saved state.
    EXPECT_FALSE(window->pack().isSaved());

    prompts.savePaths.push_back(target);
    doubleClick(QStringLiteral("Failing"));
    EXPECT_EQ(prompts.errors, QStringList({"Export fehlgeschlagen: Datenträger voll."}));
    prompts.errors.clear();
}
