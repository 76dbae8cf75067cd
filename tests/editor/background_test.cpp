#include "editor/backgroundwork.h"

#include "document/packformat.h"

#include "../support/testutil.h"

#include <QDir>
#include <QProgressDialog>
#include <QPushButton>

using namespace Wordloom;

namespace {

const QByteArray kPack
    = "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><content>"
      "<key id='a'><value>A</value></key><key id='b'><value>B</value></key></content></languagepack>";

// Every load and save behind the progress dialog, shown at once for a small
// file; the test presses "Abbrechen" as soon as it appears.
class BackgroundWorkTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        timing.delay = std::chrono::milliseconds(0);
        timing.shown = [this](QProgressDialog &dialog) {
            shownLabels << dialog.labelText();
            auto *button = dialog.findChild<QPushButton *>();
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), QStringLiteral("Abbrechen"));
            if (cancel)
                button->click();
        };
    }
    void TearDown() override
    {
        timing = ProgressDialogTiming();
        EditorTest::TearDown();
    }
    ProgressDialogTiming &timing = progressDialogTiming();
    bool cancel = false;
    QStringList shownLabels;
};

struct Case {
    const char *name;
    bool save;
    bool cancel;
    // The load reads a broken file; the save meets a folder where the pack was.
    bool fails;
    const char *status; // unless it fails
    const char *keys;
};

const Case kCases[] = {
    {"load", false, false, false, "Languagepack geladen: other.xml", "x"},
    {"load cancelled", false, true, false, "Laden abgebrochen", "a|b"},
    {"load fails", false, false, true, nullptr, "a|b"},
    {"save", true, false, false, "Gespeichert: de.xml", "a|b"},
    {"save cancelled", true, true, false, "Speichern abgebrochen", "a|b"},
    {"save fails", true, false, true, nullptr, "a|b"},
};

} // namespace

TEST_F(BackgroundWorkTest, CancelsHandsBackOrPassesOnTheError)
{
    for (const Case &row : kCases) {
        SCOPED_TRACE(row.name);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        window = std::make_unique<MainWindow>(prompts, clock, dir.filePath(QStringLiteral("Plugins")));
        cancel = false;
        const QString file = loadPack(kPack);
        const QString other = writePack(QStringLiteral("other.xml"),
            row.fails
                ? QByteArray("<languagepack><content>")
                : QByteArray("<languagepack><content><key id='x'><value>X</value></key></content></languagepack>"));
        shownLabels.clear();
        cancel = row.cancel;
        if (row.save) {
            QTest::keyClicks(valueMemo(), QStringLiteral("!"));
            if (row.fails) {
                ASSERT_TRUE(QFile::remove(file) && QDir().mkdir(file));
            }
            action("saveAction")->trigger();
        } else {
            load(other);
        }
        EXPECT_EQ(shownLabels,
            QStringList(row.save ? QStringLiteral("Languagepack wird gespeichert …")
                                 : QStringLiteral("Languagepack wird geladen …")));
        if (!row.fails) {
            EXPECT_EQ(window->statusText(), QString::fromUtf8(row.status));
        }
        EXPECT_EQ(window->pack().path(), row.save || row.cancel || row.fails ? file : other);
        EXPECT_EQ(listedKeys().join(u'|'), QString::fromUtf8(row.keys));
        EXPECT_EQ(prompts.errors.size(), row.fails ? 1 : 0) << prompts.errors.join(u'|').toStdString();
        prompts.errors.clear();
        // The file on disk changes only through a save that went through.
        if (row.save && !row.fails) {
            const bool written = !row.cancel;
            EXPECT_EQ(readBytes(file) == kPack, !written);
            EXPECT_EQ(window->pack().isSaved(), written);
            EXPECT_EQ(readPackFile(file).data.hashlistKeys.value(QStringLiteral("a")),
                written ? QStringLiteral("!A") : QStringLiteral("A"));
        }
        if (row.save) {
            EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("a")), QStringLiteral("!A"));
        }
        window.reset();
    }
}
