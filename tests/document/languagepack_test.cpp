#include "document/languagepack.h"
#include "document/progress.h"

#include "../support/testutil.h"

#include <QSignalSpy>

using namespace Wordloom;

namespace {

const QByteArray kPack = "<languagepack name='app' lang='de' version='1' date='d' project='demo'><content>"
                         "<key id='a' encodeHTML='1' preserveLinebreaks='0' unixNewline='1'><value>A</value>"
                         "<comment>note</comment></key><key id='b'><value>B</value></key></content></languagepack>";

class LanguagePackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeBytes(dir.filePath(QStringLiteral("de.xml")), kPack);
        pack.load(dir.filePath(QStringLiteral("de.xml")));
    }
    QStringList lines() const { return listLines(pack.data()); }
    QStringList names() const { return QStringList(pack.keys().names().begin(), pack.keys().names().end()); }

    QTemporaryDir dir;
    LanguagePack pack;
};

} // namespace

TEST_F(LanguagePackTest, KeyOperationsKeepTheFiveListsAndTheKeyListInStep)
{
    QSignalSpy saved(&pack, &LanguagePack::savedChanged);
    EXPECT_TRUE(pack.isSaved());

    // Rename carries comment and options; a clash with another key is refused.
    EXPECT_EQ(pack.renameKey(QStringLiteral("a"), 0, QStringLiteral("B"), QStringLiteral("x")), -1);
    EXPECT_TRUE(pack.isSaved()) << "a refused rename changes nothing";
    EXPECT_EQ(pack.renameKey(QStringLiteral("a"), 0, QStringLiteral("c"), QStringLiteral("A2")), 1);
    EXPECT_EQ(names(), QStringList({"b", "c"}));
    EXPECT_EQ(lines(), QStringList({"k b=B", "k c=A2", "c c=note", "h c=1", "b c=0", "l c=1"}));
    EXPECT_EQ(saved.count(), 1);
    EXPECT_FALSE(pack.isSaved());

    // Drop removes all five lines and the row.
    pack.dropKey(QStringLiteral("C"), 1);
    EXPECT_EQ(names(), QStringList({"b"}));
    EXPECT_EQ(lines(), QStringList({"k b=B"}));

    // A commit under a name outside the list adds it when there is data.
    EXPECT_EQ(pack.commit(QStringLiteral("z"), KeyEntry()), -1);
    EXPECT_EQ(pack.commit(QStringLiteral("a"), KeyEntry{{}, {}, {}, QStringLiteral("1"), {}}), 0);
    EXPECT_EQ(pack.commit(QStringLiteral("A"), KeyEntry{QStringLiteral("t"), {}, QStringLiteral("0"), {}, {}}), -1);
    EXPECT_EQ(names(), QStringList({"a", "b"}));
    EXPECT_EQ(pack.entry(QStringLiteral("a")).translation, QStringLiteral("t"));
    EXPECT_EQ(pack.entry(QStringLiteral("a")).preserveLinebreaks, QString());
    EXPECT_EQ(pack.addKey(QStringLiteral("0")), 0);

    pack.write(dir.filePath(QStringLiteral("out.xml")), pack.info());
    EXPECT_TRUE(pack.isSaved());
    EXPECT_EQ(pack.fileName(), QStringLiteral("out.xml"));
    EXPECT_EQ(saved.count(), 2);
    pack.close();
    EXPECT_EQ(pack.commit(QStringLiteral("q"), KeyEntry{QStringLiteral("t"), {}, {}, {}, {}}), -1)
        << "without a pack no name joins the list";
}

TEST_F(LanguagePackTest, ReadsAndWritesCountTheirBytesAndACancelledOneChangesNothing)
{
    const QString path = dir.filePath(QStringLiteral("de.xml"));
    Progress progress;
    const PackContent read = LanguagePack::read(path, &progress);
    EXPECT_EQ(read.keys.size(), 2u);
    EXPECT_EQ(progress.done, kPack.size());
    progress.cancelled = true;
    const QStringList before = lines();
    EXPECT_THROW(LanguagePack::read(path, &progress), Cancelled);
    EXPECT_EQ(lines(), before);

    pack.commit(QStringLiteral("a"), KeyEntry{QString(70000, QLatin1Char('x')), {}, {}, {}, {}});
    Progress writing;
    writing.cancelled = true;
    EXPECT_THROW(pack.writeFile(path, pack.info(), &writing), Cancelled);
    EXPECT_EQ(readBytes(path), kPack);
    EXPECT_TRUE(pack.isModified());
    writing.cancelled = false;
    pack.writeFile(path, pack.info(), &writing);
    EXPECT_EQ(writing.done, QFileInfo(path).size());
    EXPECT_TRUE(pack.isModified()) << "saved only when marked written";
    pack.markWritten(path);
    EXPECT_TRUE(pack.isSaved());
}
