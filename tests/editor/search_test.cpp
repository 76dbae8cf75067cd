#include "document/keyfinder.h"
#include "editor/namelistview.h"

#include "../support/testutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Wordloom;

namespace {

const QByteArray kPack = "<languagepack><content>"
                         "<key id='zeta'><value>Größe ändern</value><comment>suchwort</comment></key>"
                         "<key id='Alpha'><value>GRÖSSE und GRÖẞE</value></key>"
                         "<key id='beta'><value>nichts</value></key>"
                         "<key id='ändern'><value>Ελληνικά ΣΟΦΙΑ</value></key>"
                         "<key id='empty'><value/></key>"
                         "</content></languagepack>";

class SearchTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        loadPack(kPack);
    }
    // Typing non-ASCII text is not possible with the test's key clicks.
    void search(const QString &text) { control<QLineEdit>("suchbegriff")->setText(text); }
    QString results() const
    {
        QStringList names;
        const QAbstractItemModel *model = control<NameListView>("ergenbisse")->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names << model->index(row, 0).data().toString();
        return names.join(QLatin1Char(','));
    }
};

} // namespace

TEST_F(SearchTest, FindsStoredTranslationsIgnoringCaseInEveryScript)
{
    // Comments, key names and an empty text find nothing.
    const std::pair<const char *, const char *> cases[] = {{"GRÖ", "Alpha,zeta"}, {"größe", "Alpha,zeta"},
        {"σοφια", "ändern"}, {"suchwort", ""}, {"zeta", ""}, {"n", "Alpha,beta,zeta"}, {"", ""}};
    for (const auto &[text, found] : cases) {
        search(QString::fromUtf8(text));
        EXPECT_EQ(results(), QString::fromUtf8(found)) << text;
    }

    // Unsubmitted edits are not searched; submitted ones are.
    pickRow(1); // beta
    valueMemo()->insertPlainText(QStringLiteral("Größe "));
    search(QStringLiteral("größe"));
    EXPECT_EQ(results(), QStringLiteral("Alpha,zeta"));
    action("submitAction")->trigger();
    search(QStringLiteral("Größe"));
    EXPECT_EQ(results(), QStringLiteral("Alpha,beta,zeta"));
}

TEST_F(SearchTest, ManualModeAndChoosingAResult)
{
    auto *onType = control<QCheckBox>("searchOnType");
    click(onType);
    search(QStringLiteral("größe"));
    EXPECT_EQ(results(), QString()) << "typing searches nothing in manual mode";
    action("suchAction")->trigger();
    EXPECT_EQ(results(), QStringLiteral("Alpha,zeta"));
    search(QStringLiteral("nichts"));
    EXPECT_EQ(results(), QStringLiteral("Alpha,zeta")) << "results stay until the next search";
    click(onType);
    EXPECT_EQ(results(), QStringLiteral("beta")) << "checking the box searches at once";

    // A dropped key stays in the results until the next search; choosing it
    // selects nothing and shows empty fields.
    auto *view = control<NameListView>("ergenbisse");
    const auto pickResult = [view] {
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
            view->visualRect(view->model()->index(0, 0)).center());
    };
    pickResult();
    EXPECT_EQ(keyList()->text(), QStringLiteral("beta"));
    EXPECT_EQ(valueMemo()->toPlainText(), QStringLiteral("nichts"));
    action("dropAction")->trigger();
    EXPECT_EQ(results(), QStringLiteral("beta"));
    pickRow(0);
    view->setCurrentIndex(QModelIndex());
    pickResult();
    EXPECT_EQ(keyList()->currentRow(), -1);
    EXPECT_EQ(keyList()->text(), QString());
    EXPECT_EQ(valueMemo()->toPlainText(), QString());
}

TEST_F(SearchTest, ChecksReportThroughTheInformationBox)
{
    action("doppelCheck")->trigger();
    search(QStringLiteral("nichts"));
    loadPack("<l><content><key id='a'><value>1</value></key><key id='a'><value>2</value></key></content></l>");
    EXPECT_EQ(results(), QStringLiteral("beta")) << "results outlive the pack they came from";
    action("doppelCheck")->trigger();
    action("syntaxCheck")->trigger();
    EXPECT_EQ(prompts.infos.join(QLatin1Char('|')),
        QStringLiteral("Doppel-Check bestanden|Doppel-Check nicht bestanden: a|Syntax-Check bestanden"));
    EXPECT_FALSE(window->pack().isModified());
    action("closeAction")->trigger();
    search(QStringLiteral("e"));
    EXPECT_EQ(results(), QString()) << "without a pack nothing is found";
}

TEST_F(SearchTest, FiltersBadPatternsNextResultAndReplaceAllUndone)
{
    const QString file = path(QStringLiteral("p.xml"));
    prompts.savePaths.push_back(file);
    action("saveasAction")->trigger();
    const QByteArray before = readBytes(file);

    click(control<QCheckBox>("filterUntranslated"));
    search(QString());
    EXPECT_EQ(results(), QStringLiteral("empty"));
    click(control<QCheckBox>("filterUntranslated"));
    click(control<QCheckBox>("scopeKey"));
    search(QStringLiteral("a"));
    EXPECT_EQ(results(), QStringLiteral("Alpha,beta,zeta"));
    EXPECT_EQ(control<QLabel>("resultCount")->text(), QStringLiteral("3 Treffer"));

    // A bad pattern is marked and the results stay, with no box.
    click(control<QCheckBox>("useRegex"));
    search(QStringLiteral("a("));
    EXPECT_EQ(results(), QStringLiteral("Alpha,beta,zeta"));
    EXPECT_FALSE(control<QLabel>("patternError")->isHidden());
    EXPECT_TRUE(prompts.infos.isEmpty());

    // F3 takes the pending edit over and goes on from the current key.
    search(QStringLiteral("^.e"));
    EXPECT_EQ(results(), QStringLiteral("beta,zeta"));
    pickRow(0); // Alpha
    valueMemo()->insertPlainText(QStringLiteral("x"));
    window->findChild<QAction *>(u"findNextAction"_s)->trigger();
    EXPECT_EQ(keyList()->text(), QStringLiteral("beta"));
    EXPECT_EQ(window->pack().entry(QStringLiteral("Alpha")).translation, QStringLiteral("xGRÖSSE und GRÖẞE"));
    window->findChild<QAction *>(u"findPrevAction"_s)->trigger();
    EXPECT_EQ(keyList()->text(), QStringLiteral("zeta"));

    // Replace-all asks, makes one step and never renames; undo gives the bytes back.
    action("undoAction")->trigger();
    click(control<QCheckBox>("useRegex"));
    search(QStringLiteral("n"));
    control<QLineEdit>("ersetzen")->setText(QStringLiteral("N"));
    prompts.confirmAnswers.push_back(true);
    control<QPushButton>("buttonErsetzen")->click();
    EXPECT_EQ(prompts.questions.value(0), QStringLiteral("4 Ersetzungen in 3 Schlüsseln. Fortfahren?"));
    EXPECT_EQ(window->pack().entry(QStringLiteral("beta")).translation, QStringLiteral("Nichts"));
    EXPECT_TRUE(window->statusText().startsWith(QStringLiteral("4 Ersetzungen in 3 Schlüsseln")))
        << window->statusText().toStdString();
    EXPECT_GE(window->pack().keys().find(QStringLiteral("ändern")), 0);
    // The results follow the undo as they follow the replace-all.
    click(control<QCheckBox>("matchCase"));
    search(QStringLiteral("Nichts"));
    EXPECT_EQ(results(), QStringLiteral("beta"));
    action("undoAction")->trigger();
    EXPECT_EQ(results(), QString());
    prompts.savePaths.push_back(file);
    prompts.confirmAnswers.push_back(true); // overwrite
    action("saveasAction")->trigger();
    EXPECT_EQ(readBytes(file), before);
}

TEST_F(SearchTest, ReferenceFiltersWhileAReferenceIsOpen)
{
    const QString en = writePack(QStringLiteral("en.xml"),
        "<languagepack><content><key id='ALPHA'><value>GRÖSSE und GRÖẞE</value></key>"
        "<key id='beta'><value>nothing</value></key><key id='ändern'><value>Greek</value></key>"
        "<key id='empty'><value>Empty</value></key><key id='new'><value>New</value></key></content></languagepack>");
    auto *onlyHere = control<QCheckBox>("filterOnlyHere");
    auto *same = control<QCheckBox>("filterSameAsReference");
    EXPECT_FALSE(onlyHere->isEnabled());
    click(control<QCheckBox>("scopeKey"));
    search(QStringLiteral("e"));
    const QString all = results();
    prompts.openPaths.push_back(en);
    action("openReferenceAction")->trigger();
    ASSERT_TRUE(onlyHere->isEnabled());

    click(onlyHere);
    EXPECT_EQ(results(), QStringLiteral("zeta"));
    click(onlyHere);
    click(same);
    EXPECT_EQ(results(), QStringLiteral("Alpha"));
    // A take-over counts at the next search; the reference stays as it was.
    pickRow(1); // beta
    valueMemo()->setPlainText(QStringLiteral("nothing"));
    action("submitAction")->trigger();
    search(QStringLiteral("E"));
    EXPECT_EQ(results(), QStringLiteral("Alpha,beta"));
    EXPECT_EQ(readBytes(en).contains("nothing"), true);

    // Closed, the filters are off and the search finds what it did before.
    action("closeReferenceAction")->trigger();
    EXPECT_FALSE(same->isEnabled());
    EXPECT_EQ(results(), all);
}

TEST_F(SearchTest, ALargePackIsIndexedInTheBackgroundAndFollowsItsChanges)
{
    // Past the size from which the indexes are built apart.
    QByteArray xml = "<languagepack><content>";
    for (int i = 0; i < 12000; ++i)
        xml += QStringLiteral("<key id='k%1'><value>Wert %1</value>%2</key>")
                   .arg(i, 5, 10, QLatin1Char('0'))
                   .arg(i % 3 ? QString() : QStringLiteral("<comment>Notiz %1</comment>").arg(i))
                   .toUtf8();
    loadPack(xml + "</content></languagepack>");
    // A search while the translations are being taken for their index, a
    // part per turn of the event loop, waits for all of them.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    search(QStringLiteral("Wert 11999"));
    EXPECT_EQ(results(), QStringLiteral("k11999"));
    // That index ready, the key names are copied for theirs; a key added
    // in between starts the copy over.
    QCoreApplication::processEvents();
    addKey(QStringLiteral("a0001"));
    while (!window->isSearchReady())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(window->pack().data().hashlistKeys.isSearchReady()) << "built once the window showed the pack";
    const auto expected = [&](const FindQuery &query) {
        const std::vector<QString> names = KeyFinder(query).find(window->pack());
        return QStringList(names.begin(), names.end()).join(QLatin1Char(','));
    };
    click(control<QCheckBox>("scopeKey"));
    click(control<QCheckBox>("scopeText"));
    search(QStringLiteral("k0001"));
    EXPECT_EQ(results(), expected(FindQuery{.text = u"k0001"_s, .scopes = FindQuery::Key}));
    EXPECT_EQ(control<QLabel>("resultCount")->text(), QStringLiteral("10 Treffer"));
    const QString found = results();
    // A key added is found by its name at the next search, a comment taken
    // over by the filter; until then the results stay as they were.
    addKey(QStringLiteral("k0000neu"));
    addKey(QStringLiteral("k0001neu"));
    commentMemo()->setPlainText(QStringLiteral("neu"));
    action("submitAction")->trigger();
    EXPECT_EQ(results(), found);
    search(QStringLiteral("k000"));
    search(QStringLiteral("k0001"));
    EXPECT_EQ(control<QLabel>("resultCount")->text(), QStringLiteral("11 Treffer"));
    click(control<QCheckBox>("scopeKey"));
    click(control<QCheckBox>("scopeText"));
    click(control<QCheckBox>("filterComment"));
    for (const char *text : {"Wert 1", "Wert", ""}) {
        search(QString::fromUtf8(text));
        EXPECT_EQ(results(), expected(FindQuery{.text = QString::fromUtf8(text), .withComment = true})) << text;
    }
    EXPECT_EQ(control<QLabel>("resultCount")->text(), QStringLiteral("4.001 Treffer"));
}
