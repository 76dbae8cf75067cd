#include "document/error.h"
#include "plugins/exportrun.h"
#include "plugins/plugincatalog.h"

#include "../support/testutil.h"
#include "pluginfixtures.h"

#include <QCoreApplication>
#include <QDir>

using namespace Wordloom;

namespace {

class PluginTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Journal journal{dir.filePath(QStringLiteral("journal.txt"))};
    QString folder = dir.filePath(QStringLiteral("Plugins"));
};

} // namespace

TEST_F(PluginTest, DiscoveryListsInFileOrderAndSkipsWhatIsNoPlugin)
{
    installPlugins(folder, {"twin", "recorder", "nameless", "future", "bare"});
    writeBytes(folder + QStringLiteral("/junk.so"), "not a library");
    QDir(folder).mkdir(QStringLiteral("x.so"));
    QFile::copy(fixturePlugin("bare"), folder + QStringLiteral("/other.txt"));
    // The folder is found from the executable, not from the current directory.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_EQ(PluginCatalog::programPluginFolder(), QCoreApplication::applicationDirPath() + QStringLiteral("/Plugins"));
    QDir::setCurrent(cwd);

    PluginCatalog catalog;
    catalog.scan(folder);
    EXPECT_EQ(catalog.exportNames(), QStringList({"Bare", "Recorder", "RECORDER"}));
    // Names differing in case share one line, leading to the later library.
    ASSERT_EQ(catalog.hashlistPlugins().count(), 2);
    EXPECT_EQ(catalog.hashlistPlugins().lineAt(1), QStringLiteral("RECORDER=twin.so"));
    EXPECT_EQ(catalog.libraryPath(QStringLiteral("recorder")), folder + QStringLiteral("/twin.so"));
    EXPECT_EQ(catalog.libraryPath(QStringLiteral("Future")), QString());
    // Loaded libraries stay loaded, listed or not; a too new one does not.
    EXPECT_TRUE(isMapped(folder + QStringLiteral("/nameless.so")));
    EXPECT_FALSE(isMapped(folder + QStringLiteral("/future.so")));

    // The variable for the name is not emptied between libraries.
    EXPECT_EQ(journal.lines(), QStringList({"getExportName []", "getExportName [Bare]", "getExportName [Recorder]"}));

    // A name with "=" is found again under its full name.
    qputenv("WORDLOOM_TEST_NAME", "a=b");
    PluginCatalog named;
    named.scan(folder);
    EXPECT_EQ(named.exportNames(), QStringList({"a=b", "a=b", "a=b"}));
    EXPECT_EQ(named.libraryPath(QStringLiteral("A=B")), folder + QStringLiteral("/twin.so"));

    PluginCatalog none;
    none.scan(dir.filePath(QStringLiteral("missing")));
    EXPECT_TRUE(none.exportNames().isEmpty());
}

TEST_F(PluginTest, ExportRunCallsInOrderAndHandsOverTheListsOnly)
{
    KeyData data;
    data.hashlistKeys.setValue(QStringLiteral("Gruß"), QStringLiteral("Grüße\r\nWelt 😀"));
    data.hashlistKeys.setValue(QStringLiteral("a=B"), QStringLiteral("x=y"));
    data.hashlistHTML.setValue(QStringLiteral("Gruß"), QStringLiteral("1"));
    data.hashlistBreaks.setValue(QStringLiteral("a=B"), QStringLiteral("0"));
    data.hashlistComments.setValue(QStringLiteral("Gruß"), QStringLiteral("geheim"));
    const QString recorder = fixturePlugin("recorder");
    const QString target = dir.filePath(QStringLiteral("Ziel ü.csv"));
    qputenv("WORDLOOM_TEST_EXTENSION", "csv");

    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm);
        journal.clear();
        ExportOffer offered;
        const ExportOutcome outcome = runExport(recorder, data, [&](const ExportOffer &offer) {
            offered = offer;
            return confirm ? target : QString();
        });
        EXPECT_EQ(outcome, confirm ? ExportOutcome::Exported : ExportOutcome::Cancelled);
        EXPECT_EQ(offered.extension, QStringLiteral("csv"));
        EXPECT_EQ(offered.dialogFilter(), QStringLiteral("Text (*.txt)|*.txt|Alle Dateien (*.*)|*.*"));
        EXPECT_EQ(offered.dialogTitle(), QStringLiteral("Recorder-Export"));
        QStringList expected = {"getDefaultExtension [txt]", "getFilterMask [Text (*.txt)|*.txt]", "getExportName []"};
        if (confirm) {
            expected += QStringList{"Init", "setFileName [" + target + "]", "startExport", "keys 2",
                "  [Gruß=Grüße\r\nWelt 😀] [Gruß|Grüße\r\nWelt 😀] [Grüße\r\nWelt 😀] 5", "  [a=B=x=y] [a=B|x=y] [x=y] 3",
                "  [] [|] [] 0", "html 1", "  [Gruß=1] [Gruß|1] [1] 5", "  [] [|] [] 0", "breaks 1",
                "  [a=B=0] [a=B|0] [0] 3", "  [] [|] [] 0", "linebreaks 0", "  [] [|] [] 0", "getLastError []", "Free"};
        }
        EXPECT_EQ(journal.lines().join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
        EXPECT_FALSE(isMapped(recorder));
    }
}

TEST_F(PluginTest, FailuresAreReportedAndTheLibraryReleased)
{
    const KeyData data;
    const auto pick = [this](const ExportOffer &) { return dir.filePath(QStringLiteral("out.txt")); };
    try {
        runExport(fixturePlugin("failing"), data, pick);
        ADD_FAILURE() << "a failed export passed";
    } catch (const Error &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Export fehlgeschlagen: Datenträger voll"));
    }
    EXPECT_EQ(journal.lines().mid(journal.lines().size() - 2), QStringList({"getLastError []", "Free"}));
    EXPECT_FALSE(isMapped(fixturePlugin("failing")));

    // Without a name getter the title stays "Export".
    ExportOffer offered;
    EXPECT_EQ(runExport(fixturePlugin("nameless"), data, [&](const ExportOffer &offer) {
        offered = offer;
        return QString();
    }), ExportOutcome::Cancelled);
    EXPECT_EQ(offered.dialogTitle(), QStringLiteral("Export"));

    writeBytes(dir.filePath(QStringLiteral("junk.so")), "not a library");
    for (const QString &path : {QString(), dir.filePath(QStringLiteral("junk.so")), dir.path(),
             dir.filePath(QStringLiteral("gone.so")), fixturePlugin("future")}) {
        SCOPED_TRACE(path.toStdString());
        journal.clear();
        EXPECT_EQ(runExport(path, data, pick), ExportOutcome::NotLoaded);
        EXPECT_TRUE(journal.lines().isEmpty());
    }
}
