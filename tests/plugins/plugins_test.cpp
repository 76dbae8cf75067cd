#include "cli/commandline.h"
#include "document/error.h"
#include "plugins/exportrun.h"
#include "plugins/plugincatalog.h"
#include "plugins/streamedhashlist.h"

#include "../support/testutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

using namespace Wordloom;

namespace {

// Under AddressSanitizer the helper would turn a plug-in's crash into a
// report and exit code 1; it has to die of the signal, as in a release build.
const bool kHelperDiesOfSignals = [] {
    qputenv("ASAN_OPTIONS", "handle_segv=0:" + qgetenv("ASAN_OPTIONS"));
    return true;
}();

// The built test plug-in of that name ("recorder", "bare", ...).
QString fixturePlugin(const char *name)
{
    return QStringLiteral(WORDLOOM_TEST_PLUGINS "/%1.so").arg(QLatin1String(name));
}

// Copies the named test plug-ins into folder, creating it.
void installPlugins(const QString &folder, std::initializer_list<const char *> names)
{
    QDir().mkpath(folder);
    for (const char *name : names)
        EXPECT_TRUE(
            QFile::copy(fixturePlugin(name), QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".so"))))
            << name;
}

// Whether a library of that path is mapped into this process.
bool isMapped(const QString &path)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    EXPECT_TRUE(maps.open(QIODevice::ReadOnly));
    return maps.readAll().contains(QFile::encodeName(path));
}

// The file the recorder plug-ins write their calls to, emptied on creation.
struct Journal {
    explicit Journal(const QString &file) : mPath(file)
    {
        clear();
        qputenv("WORDLOOM_TEST_JOURNAL", QFile::encodeName(file));
    }
    ~Journal()
    {
        for (const char *variable :
            {"WORDLOOM_TEST_JOURNAL", "WORDLOOM_TEST_NAME", "WORDLOOM_TEST_EXTENSION", "WORDLOOM_TEST_FILTER"})
            qunsetenv(variable);
    }
    QStringList lines() const
    {
        QFile file(mPath);
        return file.open(QIODevice::ReadOnly)
            ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
            : QStringList();
    }
    void clear() const { EXPECT_TRUE(QFile(mPath).open(QIODevice::WriteOnly | QIODevice::Truncate)); }
    QString mPath;
};

class PluginTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    Journal journal{dir.filePath(QStringLiteral("journal.txt"))};
    QString folder = dir.filePath(QStringLiteral("Plugins"));
};

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

TEST_F(PluginTest, DiscoveryListsInFileOrderAndSkipsWhatIsNoPlugin)
{
    installPlugins(folder, {"twin", "recorder", "nameless", "future", "bare"});
    writeBytes(folder + QStringLiteral("/junk.so"), "not a library");
    QDir(folder).mkdir(QStringLiteral("x.so"));
    QFile::copy(fixturePlugin("bare"), folder + QStringLiteral("/other.txt"));
    PluginCatalog catalog;
    catalog.scan(folder);
    EXPECT_EQ(catalog.exportNames(), QStringList({u"Bare"_s, u"Recorder"_s, u"RECORDER"_s}));
    // Names differing in case share one line, leading to the later library.
    ASSERT_EQ(catalog.hashlistPlugins().count(), 2);
    EXPECT_EQ(catalog.hashlistPlugins().lineAt(1), QStringLiteral("RECORDER=twin.so"));
    EXPECT_EQ(catalog.libraryPath(QStringLiteral("recorder")), folder + QStringLiteral("/twin.so"));
    EXPECT_EQ(catalog.libraryPath(QStringLiteral("Future")), QString());
    // The libraries are loaded by the helper, never in the editor.
    EXPECT_FALSE(isMapped(folder + QStringLiteral("/nameless.so")));
    EXPECT_TRUE(catalog.skipped().isEmpty()) << catalog.skipped().join(QLatin1Char(';')).toStdString();

    // The variable for the name is not emptied between libraries.
    EXPECT_EQ(journal.lines(),
        QStringList({u"getExportName []"_s, u"getExportName [Bare]"_s, u"getExportName [Recorder]"_s}));

    // A name with "=" is found again under its full name.
    qputenv("WORDLOOM_TEST_NAME", "a=b");
    PluginCatalog named;
    named.scan(folder);
    EXPECT_EQ(named.exportNames(), QStringList({u"a=b"_s, u"a=b"_s, u"a=b"_s}));
    EXPECT_EQ(named.libraryPath(QStringLiteral("A=B")), folder + QStringLiteral("/twin.so"));
}

TEST_F(PluginTest, DiscoveryKeepsTheExactFileNameOrderAndTakesOlderInterfaces)
{
    // Ignoring letter case, a.so would come before B.so.
    QDir().mkpath(folder);
    for (const auto &[plugin, file] : {std::pair{"recorder", "B.so"}, {"bare", "a.so"}, {"elder", "c.so"}})
        ASSERT_TRUE(QFile::copy(fixturePlugin(plugin), QDir(folder).filePath(QLatin1String(file))));
    PluginCatalog catalog;
    catalog.scan(folder);
    EXPECT_EQ(catalog.exportNames(), QStringList({u"Recorder"_s, u"Bare"_s, u"Elder"_s}));
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
        QStringList expected
            = {u"getDefaultExtension [txt]"_s, u"getFilterMask [Text (*.txt)|*.txt]"_s, u"getExportName []"_s};
        if (confirm) {
            expected += QStringList{u"Init"_s, u"setFileName ["_s + target + u"]"_s, u"startExport"_s, u"keys 2"_s,
                u"  [Gruß=Grüße\r\nWelt 😀] [Gruß|Grüße\r\nWelt 😀] [Grüße\r\nWelt 😀] 5"_s,
                u"  [a=B=x=y] [a=B|x=y] [x=y] 3"_s, u"  [] [|] [] 0"_s, u"html 1"_s, u"  [Gruß=1] [Gruß|1] [1] 5"_s,
                u"  [] [|] [] 0"_s, u"breaks 1"_s, u"  [a=B=0] [a=B|0] [0] 3"_s, u"  [] [|] [] 0"_s, u"linebreaks 0"_s,
                u"  [] [|] [] 0"_s, u"getLastError []"_s, u"Free"_s};
        }
        EXPECT_EQ(journal.lines().join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
        EXPECT_FALSE(isMapped(recorder));
    }
}

// The helper's view over the streamed bytes answers as the Hashlist it came
// from: the same texts by position, and by name ignoring case.
TEST(StreamedHashlist, AnswersAsTheHashlistItWasSentFrom)
{
    using namespace HostProtocol;
    Hashlist list;
    const QString longName = QStringLiteral("lang.").repeated(60);
    for (const QString &name : {QStringLiteral("Äpfel"), QStringLiteral("kelvin"), QStringLiteral("a=b"),
             QStringLiteral(""), QStringLiteral("Gruß"), longName})
        list.setValue(name, name.isEmpty() ? QStringLiteral("leer") : QStringLiteral("¿%1?\r\n😀").arg(name));
    StreamedHashlist view;
    // In two frames, as a long list comes.
    for (const auto &[from, to] : {std::pair{0, 2}, std::pair{2, int(list.count())}}) {
        FrameWriter frame(Kind::Lines);
        for (int i = from; i < to; ++i)
            frame.nulText(list.nameAt(i)).nulText(list.valueAt(i));
        QByteArray bytes = frame.finish();
        FrameReader reader(Kind::Lines, bytes.mid(5));
        bytes.clear();
        ASSERT_TRUE(view.append(reader, quint32(to - from)));
    }
    const ExportHashlist *v = view.get();
    ASSERT_EQ(v->count(v), size_t(list.count()));
    size_t length = 0;
    // Reads length once the call that sets it returned.
    const auto text = [&length](const char *bytes) {
        EXPECT_EQ(bytes[length], '\0');
        return QString::fromUtf8(bytes, qsizetype(length));
    };
    for (qsizetype i = 0; i <= list.count(); ++i) {
        SCOPED_TRACE(i);
        const bool in = i < list.count();
        EXPECT_EQ(text(v->nameAt(v, size_t(i), &length)), in ? list.nameAt(i) : QString());
        EXPECT_EQ(text(v->valueAt(v, size_t(i), &length)), in ? list.valueAt(i) : QString());
        const char *line = v->lineAt(v, size_t(i), &length);
        EXPECT_EQ(text(line), in ? list.lineAt(i) : QString());
        EXPECT_EQ(v->lineAt(v, size_t(i), nullptr), line);
        if (in) {
            EXPECT_EQ(text(v->valueOf(v, list.nameAt(i).toUtf8().constData(), &length)), list.valueAt(i));
        }
    }
    // The Kelvin sign folds to "k"; "SS" is no fold of "ß".
    for (const QString &name : {QStringLiteral("äPFEL"), QStringLiteral("kelvi"), QStringLiteral("ÄPFEL"),
             QStringLiteral("\u212Aelvin"), QStringLiteral("KELVIN"), QStringLiteral("A=B"), QStringLiteral(""),
             QStringLiteral("GRUß"), QStringLiteral("GRUSS"), longName.toUpper(), QStringLiteral("Apfel")}) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(text(v->valueOf(v, name.toUtf8().constData(), &length)), list.value(name));
    }
    EXPECT_EQ(text(v->valueOf(v, nullptr, &length)), QString());
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
    EXPECT_EQ(journal.lines().mid(journal.lines().size() - 2), QStringList({u"getLastError []"_s, u"Free"_s}));
    EXPECT_FALSE(isMapped(fixturePlugin("failing")));

    // Without a name getter the title stays "Export".
    ExportOffer offered;
    EXPECT_EQ(runExport(fixturePlugin("nameless"), data,
                  [&](const ExportOffer &offer) {
                      offered = offer;
                      return QString();
                  }),
        ExportOutcome::Cancelled);
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
    }
    // Save As sets its own title, filter and name, not the default extension.
    prompts.savePaths.push_back(QString());
    action("saveasAction")->trigger();
    EXPECT_EQ(prompts.saveDialogs.back().title, QStringLiteral("Speichern als..."));
    EXPECT_EQ(prompts.saveDialogs.back().defaultExtension, QStringLiteral("po"));
}

TEST_F(ExportWindowTest, DoubleClickExportsAndFailuresAreShown)
{
    startWith({"failing", "recorder"});
    action("newFile")->trigger();
    action("exportAction")->trigger();
    EXPECT_EQ(prompts.infos, QStringList({u"Bitte ein Export-Modul auswählen"_s}));
    const QString target = path(QStringLiteral("out.txt"));
    prompts.savePaths.push_back(target);
    doubleClick(QStringLiteral("Recorder"));
    const QStringList calls = journal.lines();
    EXPECT_TRUE(calls.contains(QStringLiteral("setFileName [") + target + QLatin1Char(']')));
    EXPECT_EQ(calls.last(), QStringLiteral("Free"));
    EXPECT_EQ(control<QLabel>("statusBar")->text(), QStringLiteral("Exportiert: out.txt"));
    // An export changes neither the pack nor its saved state.
    EXPECT_FALSE(window->pack().isSaved());

    prompts.savePaths.push_back(target);
    doubleClick(QStringLiteral("Failing"));
    EXPECT_EQ(prompts.errors, QStringList({u"Export fehlgeschlagen: Datenträger voll."_s}));
    prompts.errors.clear();

    // The library is gone by the time of the export.
    ASSERT_TRUE(QFile::remove(path(QStringLiteral("Plugins/recorder.so"))));
    select(QStringLiteral("Recorder"));
    action("exportAction")->trigger();
    EXPECT_EQ(prompts.infos.last(), QStringLiteral("Oops: Fehler beim Laden des Plugins... :("));
    EXPECT_EQ(prompts.saveDialogs.size(), 2u);
}

namespace {

struct CliResult {
    int code;
    QString out, err;
};

CliResult cli(const QStringList &arguments, const QString &folder)
{
    CliResult result;
    QTextStream out(&result.out), err(&result.err);
    const FixedClock clock;
    result.code = runCommandLine(arguments, out, err, clock, folder);
    out.flush();
    err.flush();
    return result;
}

// The message of a failed export run, or "" when it passed.
QString exportFailure(const char *plugin, const QString &target)
{
    try {
        runExport(fixturePlugin(plugin), KeyData(), [&](const ExportOffer &) { return target; });
    } catch (const Error &error) {
        return error.message();
    }
    return QString();
}

} // namespace

TEST_F(PluginTest, DiscoverySkipsLibrariesThatCrashOrHangAndShowsNamesOnOneLine)
{
    installPlugins(folder, {"nameCrash", "nameHang", "recorder", "twoLines"});
    PluginCatalog catalog;
    catalog.scan(folder);
    EXPECT_EQ(catalog.exportNames(), QStringList({u"Recorder"_s, u"Zwei\nZeilen"_s}));
    EXPECT_EQ(catalog.skipped(),
        QStringList({u"Plug-in „nameCrash.so“ übersprungen: abgestürzt"_s,
            u"Plug-in „nameHang.so“ übersprungen: antwortet nicht"_s}));
    // The name variable carries on past a crash, as the helper started anew.
    EXPECT_EQ(journal.lines().mid(2), QStringList({u"getExportName []"_s, u"getExportName [Recorder]"_s}));

    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/nameHang.so")));
    const CliResult listed = cli({u"plugins"_s}, folder);
    EXPECT_EQ(listed.code, int(ExitCode::Ok));
    EXPECT_EQ(listed.out, QStringLiteral("Recorder\nZwei\\nZeilen\n"));
    EXPECT_EQ(listed.err, QStringLiteral("Plug-in „nameCrash.so“ übersprungen: abgestürzt\n"));
}

TEST_F(PluginTest, APluginThatDiesTakesOnlyTheHelperDown)
{
    const QString target = dir.filePath(QStringLiteral("out.txt"));
    const QString crashed = QStringLiteral("Export fehlgeschlagen: Das Plug-in ist abgestürzt (Signal %1)");
    EXPECT_EQ(exportFailure("crashing", target), crashed.arg(11));
    EXPECT_EQ(exportFailure("aborting", target), crashed.arg(6));
    EXPECT_EQ(exportFailure("throwing", target), crashed.arg(6));
    const QString quit
        = QStringLiteral("Export fehlgeschlagen: Das Plug-in hat sich beendet, ohne den Export abzuschließen");
    EXPECT_EQ(exportFailure("quitting", target), quit);
    EXPECT_EQ(readBytes(target), QByteArray("partial"));
    // A failure text of ten million letters is cut for the box.
    const QString huge = exportFailure("verbose", target);
    EXPECT_TRUE(huge.startsWith(QStringLiteral("Export fehlgeschlagen: xxx")));
    EXPECT_EQ(huge.size(), 23 + 1000 + 1);

    installPlugins(folder, {"quitting"});
    const QString pack = dir.filePath(QStringLiteral("pack.xml"));
    writeBytes(pack, "<languagepack name='a' lang='de'><content></content></languagepack>");
    const CliResult exported = cli({u"export"_s, u"-p"_s, u"Quitting"_s, pack, target}, folder);
    EXPECT_EQ(exported.code, int(ExitCode::Error));
    EXPECT_EQ(exported.err, quit + QLatin1Char('\n'));
}

TEST_F(ExportWindowTest, ACrashingExportLeavesTheWorkThatThenSaves)
{
    startWith({"crashing", "nameCrash", "recorder"});
    EXPECT_EQ(modules()->count(), 2);
    EXPECT_EQ(control<QLabel>("statusBar")->text(), QStringLiteral("Plug-in „nameCrash.so“ übersprungen: abgestürzt"));
    action("newFile")->trigger();
    addKey(QStringLiteral("greeting"));
    QTest::keyClicks(valueMemo(), QStringLiteral("Hallo"));
    prompts.savePaths.push_back(path(QStringLiteral("out.txt")));
    doubleClick(QStringLiteral("Crashing"));
    EXPECT_EQ(prompts.errors, QStringList({u"Export fehlgeschlagen: Das Plug-in ist abgestürzt (Signal 11)."_s}));
    prompts.errors.clear();
    EXPECT_FALSE(window->pack().isSaved());
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("Hallo"));
    prompts.savePaths.push_back(path(QStringLiteral("saved.xml")));
    action("saveasAction")->trigger();
    EXPECT_TRUE(readBytes(path(QStringLiteral("saved.xml"))).contains("Hallo"));
}

TEST_F(ExportWindowTest, AnEndlessExportEndsByItsCancelButton)
{
    startWith({"hanging"});
    action("newFile")->trigger();
    bool dialogShown = false;
    QTimer::singleShot(1000, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QProgressDialog *>(widget); dialog && dialog->isVisible()) {
                dialogShown = dialog->labelText() == QStringLiteral("Exportieren...");
                QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
            }
    });
    QElapsedTimer clock;
    clock.start();
    prompts.savePaths.push_back(path(QStringLiteral("out.txt")));
    doubleClick(QStringLiteral("Hanging"));
    EXPECT_TRUE(dialogShown);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_NE(control<QLabel>("statusBar")->text(), QStringLiteral("Exportiert: out.txt"));
}

TEST_F(ExportWindowTest, AnExportOntoThePackItselfIsRefused)
{
    startWith({"recorder"});
    const QByteArray xml = "<languagepack><content><key id='k'><value>v</value></key></content></languagepack>";
    const QString pack = loadPack(xml);
    ASSERT_TRUE(QFile::link(pack, path(QStringLiteral("link.xml"))));
    prompts.savePaths.push_back(path(QStringLiteral("link.xml")));
    doubleClick(QStringLiteral("Recorder"));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Der Export würde das Languagepack")));
    prompts.errors.clear();
    EXPECT_EQ(readBytes(pack), xml);
    EXPECT_FALSE(journal.lines().join(u'|').contains(QStringLiteral("setFileName")));
}
