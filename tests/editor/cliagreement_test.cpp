#include "../support/clirun.h"
#include "../support/testutil.h"

#include <QListWidget>

using namespace Wordloom;

namespace {

// The command line and the window write the same bytes.
using CliAgreementTest = EditorTest;

} // namespace

TEST_F(CliAgreementTest, ExportAndWriteGiveTheEditorsBytes)
{
    const QString pack = writePack(QStringLiteral("pack.xml"), kCliPack);
    window = std::make_unique<MainWindow>(prompts, clock, QStringLiteral(WORDLOOM_SHIPPED_PLUGINS));
    load(pack);
    for (const char *name : {"CSV", "JSON", "PO"}) {
        SCOPED_TRACE(name);
        const QString byEditor = path(QStringLiteral("editor.") + QLatin1String(name));
        const QString byCli = path(QStringLiteral("cli.") + QLatin1String(name));
        auto *modules = control<QListWidget>("exportModules");
        modules->setCurrentItem(modules->findItems(QLatin1String(name), Qt::MatchExactly).value(0));
        prompts.savePaths.push_back(byEditor);
        action("exportAction")->trigger();
        EXPECT_EQ(runCli({u"export"_s, u"-p"_s, QString::fromLatin1(name).toLower(), pack, byCli}, clock).code, 0);
        EXPECT_EQ(readBytes(byCli), readBytes(byEditor));
        EXPECT_FALSE(readBytes(byCli).isEmpty());
    }

    const QString saved = path(QStringLiteral("saved.xml"));
    prompts.savePaths.push_back(saved);
    action("saveasAction")->trigger();
    EXPECT_EQ(runCli({u"write"_s, pack, path(QStringLiteral("written.xml"))}, clock).code, 0);
    EXPECT_EQ(readBytes(path(QStringLiteral("written.xml"))), readBytes(saved));
    // Writing a pack over itself.
    EXPECT_EQ(runCli({u"write"_s, pack, pack}, clock).code, 0);
    EXPECT_EQ(readBytes(pack), readBytes(saved));
}
