#include "editor/keylistbox.h"

#include "../support/testutil.h"

#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>

using namespace Wordloom;

namespace {

const QByteArray kFirst =
    "<languagepack name='app' lang='de' version='1.0.3' date='then' project='demo'><info>i</info><content>"
    "<key id='b'><value>B</value><comment>about b</comment></key>"
    "<key id='a' encodeHTML='1'><value>A</value></key>"
    "</content></languagepack>";

class LoadingTest : public EditorTest {
protected:
    // Everything the user sees of the open pack.
    struct Snapshot {
        QStringList keys;
        QString field, value, status, path, fileName;
        InfoValues grid;
        bool saved;
        std::vector<bool> actions;
        bool operator==(const Snapshot &) const = default;
    };
    Snapshot snapshot() const
    {
        std::vector<bool> states;
        for (const char *name : {"saveAction", "saveasAction", "closeAction", "exportAction", "newAction",
                 "dropAction", "renameAction", "submitAction", "resetAction", "toggleWW"})
            states.push_back(action(name)->isEnabled());
        return Snapshot{listedKeys(), keyList()->text(), valueMemo()->toPlainText(), window->statusText(),
            window->pack().path(), window->pack().fileName(),
            InfoValues{gridValue(0), gridValue(1), gridValue(2), gridValue(3), gridValue(4)}, window->pack().isSaved(),
            states};
    }
};

} // namespace

TEST_F(LoadingTest, LoadShowsTheFirstKeyAndSwitchesToThePackOpenState)
{
    control<QTabWidget>("PageControl1")->setCurrentIndex(0);
    const QString file = writePack(QStringLiteral("first.xml"), kFirst);
    load(file);
    ASSERT_EQ(prompts.openDialogs.size(), 1u);
    EXPECT_EQ(prompts.openDialogs[0].title, QStringLiteral("Languagepack laden"));
    EXPECT_EQ(prompts.openDialogs[0].filter, QStringLiteral("Languagepacks (*.xml)|*.xml"));
    EXPECT_EQ(prompts.openDialogs[0].defaultExtension, QStringLiteral("xml"));

    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(keyList()->text(), QStringLiteral("a"));
    EXPECT_EQ(keyList()->currentRow(), 0);
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("A"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Languagepack geladen: first.xml"));
    EXPECT_EQ(gridValue(0), QStringLiteral("demo"));
    EXPECT_EQ(gridValue(3), QStringLiteral("1.0.3"));
    EXPECT_EQ(window->pack().path(), file);
    for (const char *name : {"saveasAction", "closeAction", "exportAction", "newAction", "dropAction", "renameAction", "toggleWW", "saveAction"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    EXPECT_FALSE(action("submitAction")->isEnabled());
    EXPECT_TRUE(window->pack().isSaved());
    EXPECT_EQ(control<QTabWidget>("PageControl1")->currentIndex(), 0) << "the tab page stays";

    // The dialog offers the last path again; cancelling changes nothing.
    const Snapshot before = snapshot();
    prompts.openPaths.push_back(QString());
    action("loadAction")->trigger();
    EXPECT_EQ(prompts.openDialogs.back().fileName, file);
    EXPECT_EQ(snapshot(), before);

    // An empty pack: nothing selected, Save stays off; missing info is cleared.
    load(writePack(QStringLiteral("empty.xml"), "<languagepack name='only name'/>"));
    EXPECT_TRUE(listedKeys().isEmpty());
    EXPECT_EQ(keyList()->text(), QString());
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
    EXPECT_FALSE(action("saveAction")->isEnabled());
    EXPECT_EQ(gridValue(0), QString()) << "nothing is inherited from the previous pack";
    EXPECT_EQ(gridValue(1), QStringLiteral("only name"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Languagepack geladen: empty.xml"));

    // Names differing only in case are reported after the load.
    load(writePack(QStringLiteral("case.xml"),
        "<languagepack><content><key id='Title'><value>T1</value></key><key id='title'><value>t2</value></key>"
        "<key id='other'><value>o</value></key></content></languagepack>"));
    ASSERT_EQ(prompts.infos.size(), 1);
    EXPECT_TRUE(prompts.infos[0].endsWith(QStringLiteral(": Title, title"))) << prompts.infos[0].toStdString();
    EXPECT_EQ(listedKeys(), (QStringList{QStringLiteral("other"), QStringLiteral("Title"), QStringLiteral("title")}));
    EXPECT_EQ(window->statusText(), QStringLiteral("Languagepack geladen: case.xml"));
}

TEST_F(LoadingTest, AFailedOrCancelledLoadLeavesTheOpenPackExactlyAsItWas)
{
    load(writePack(QStringLiteral("first.xml"), kFirst));
    pickRow(1);
    QTest::keyClicks(valueMemo(), QStringLiteral(" edited"));
    action("submitAction")->trigger();
    QTest::keyClicks(valueMemo(), QStringLiteral(" typed"));
    const Snapshot before = snapshot();
    const QByteArray data = window->pack().data().hashlistKeys.value(QStringLiteral("b")).toUtf8();

    // Unsaved work: the question comes before the dialog; Cancel stops there.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::Cancel);
    action("loadAction")->trigger();
    EXPECT_EQ(prompts.openDialogs.size(), 1u) << "cancelled before the dialog";
    EXPECT_EQ(prompts.questions, QStringList{QStringLiteral("Languagepack nicht gespeichert! Jetzt speichern?")});
    EXPECT_EQ(snapshot(), before);

    const QByteArray bad[] = {
        "<languagepack><content><key id='x'><value>ok</value></key>",
        "<languagepack name='other'><content><key id='x'><value>ok</value></key>"
        "<key id='y'><value>a<b/></value></key></content></languagepack>",
        "<languagepack><content><key id='x'><value>v</value><comment>c<!-- x --></comment></key></content></languagepack>",
    };
    for (const QByteArray &xml : bad) {
        SCOPED_TRACE(xml.toStdString());
        prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
        load(writePack(QStringLiteral("bad.xml"), xml));
        EXPECT_EQ(prompts.errors.size(), 1);
        prompts.errors.clear();
        EXPECT_EQ(snapshot(), before);
        EXPECT_EQ(window->pack().data().hashlistKeys.value(QStringLiteral("b")).toUtf8(), data);
        EXPECT_EQ(window->pack().state(), LanguagePack::State::Open);
    }
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    load(path(QStringLiteral("does-not-exist.xml")));
    ASSERT_EQ(prompts.errors.size(), 1);
    EXPECT_TRUE(prompts.errors[0].startsWith(QStringLiteral("Die Datei"))) << prompts.errors[0].toStdString();
    prompts.errors.clear();
    EXPECT_EQ(snapshot(), before);

    // No: the load goes ahead; the loaded pack has nothing unsaved, so leaving asks nothing.
    prompts.unsavedAnswers.push_back(UnsavedAnswer::No);
    load(writePack(QStringLiteral("second.xml"), "<languagepack><content><key id='z'><value>Z</value></key></content></languagepack>"));
    EXPECT_EQ(listedKeys(), QStringList{QStringLiteral("z")});
    const qsizetype asked = prompts.questions.size();
    action("exitAction")->trigger();
    EXPECT_EQ(prompts.questions.size(), asked);
}
