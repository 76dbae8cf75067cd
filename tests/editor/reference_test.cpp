#include "../support/testutil.h"

#include "editor/referencepanel.h"

#include <QLabel>
#include <QMenu>

using namespace Wordloom;

namespace {

const QByteArray kSource
    = "<languagepack name='app' lang='en' version='1.0.0' date='d' project='demo'><content>"
      "<key id='copied' encodeHTML='0' preserveLinebreaks='1' unixNewline='0'><value>%d files copied</value>"
      "<comment>after a copy</comment></key>"
      "<key id='new' encodeHTML='1' preserveLinebreaks='0' unixNewline='1'><value>New</value>"
      "<comment>a new key</comment></key>"
      "<key id='ok'><value>OK</value></key>"
      "<key id='open'><value>Open</value></key>"
      "</content></languagepack>";

const QByteArray kTranslation = "<languagepack name='app' lang='de' version='1.0.0' date='d' project='demo'><content>"
                                "<key id='Copied'><value>%d Dateien kopiert</value></key>"
                                "<key id='ok'><value>OK</value></key>"
                                "<key id='open'><value/><comment>leer</comment></key>"
                                "<key id='extra'><value>Nur hier</value></key>"
                                "</content></languagepack>";

class ReferenceTest : public EditorTest {
protected:
    ReferencePanel *panel() const { return window->referencePanel(); }
    QString summary() const { return control<QLabel>("packSummary")->text(); }
};

} // namespace

TEST_F(ReferenceTest, ShownReadOnlyComparedAndMissingKeysAddedAsOneStep)
{
    const QString de = loadPack(kTranslation);
    const QByteArray bytesBefore = readBytes(de);
    QMenu *menu = control<QMenu>("menuLanguagepack");
    EXPECT_TRUE(menu->actions().contains(action("openReferenceAction")));
    EXPECT_FALSE(enabled("closeReferenceAction"));
    EXPECT_FALSE(enabled("addMissingAction"));

    // A bad file: the reader's message, and nothing changes.
    const QString broken = writePack(QStringLiteral("broken.xml"), "<languagepack><content>");
    prompts.openPaths.push_back(broken);
    action("openReferenceAction")->trigger();
    ASSERT_EQ(prompts.errors.size(), 1);
    prompts.errors.clear();
    EXPECT_FALSE(panel()->isOpen());
    EXPECT_EQ(window->pack().keys().count(), 4);

    const QString en = writePack(QStringLiteral("en.xml"), kSource);
    prompts.openPaths.push_back(en);
    action("openReferenceAction")->trigger();
    EXPECT_EQ(prompts.openDialogs.back().title, QStringLiteral("Referenz öffnen"));
    ASSERT_TRUE(panel()->isOpen());
    EXPECT_TRUE(summary().endsWith(QStringLiteral("Referenz: 1 fehlen, 1 nur hier, 1 leer, 1 gleich")))
        << summary().toStdString();

    auto *field = control<QPlainTextEdit>("referenceText");
    EXPECT_TRUE(field->isReadOnly());
    pickRow(0); // Copied, the same key as copied
    EXPECT_EQ(field->toPlainText(), QStringLiteral("%d files copied"));
    EXPECT_EQ(field->toolTip().contains(QStringLiteral("after a copy")), true);
    EXPECT_FALSE(window->pack().isModified()) << "opening a reference changes nothing";

    action("addMissingAction")->trigger();
    EXPECT_EQ(window->pack().keys().count(), 5);
    const KeyEntry added = window->pack().entry(QStringLiteral("new"));
    EXPECT_EQ(added.translation, QString());
    EXPECT_EQ(added.comment, QStringLiteral("a new key"));
    EXPECT_EQ(added.encodeHTML + added.preserveLinebreaks + added.unixNewline, QStringLiteral("101"));
    EXPECT_EQ(keyList()->text(), QStringLiteral("new"));
    EXPECT_TRUE(summary().endsWith(QStringLiteral("Referenz: 0 fehlen, 1 nur hier, 2 leer, 1 gleich")));
    EXPECT_EQ(window->pack().undoStep()->text(), QStringLiteral("Fehlende Schlüssel hinzufügen"));

    window->undoActionExecute();
    EXPECT_EQ(window->pack().keys().count(), 4);
    EXPECT_EQ(window->pack().entry(QStringLiteral("new")).comment, QString());
    EXPECT_FALSE(window->pack().isModified());
    window->redoActionExecute();
    EXPECT_EQ(window->pack().keys().count(), 5);
    EXPECT_EQ(window->pack().entry(QStringLiteral("new")).comment, QStringLiteral("a new key"));

    action("closeReferenceAction")->trigger();
    EXPECT_FALSE(panel()->isOpen());
    EXPECT_FALSE(field->isVisible());
    EXPECT_FALSE(summary().contains(QStringLiteral("Referenz")));
    EXPECT_EQ(readBytes(en), kSource) << "the reference is never written";
    EXPECT_EQ(readBytes(de), bytesBefore);
}
