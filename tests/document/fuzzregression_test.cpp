#include "fuzz/packcheck.h"

#include "../support/testutil.h"

#include <QDir>
#include <QElapsedTimer>
#include <random>

using namespace Wordloom;

// Every input the fuzzer once failed on (and the hostile ones kept beside
// them) loads or fails with a message, quickly, and a loaded one reads back
// the same once written; so does each test pack, cut, overwritten or spliced.
TEST(FuzzRegressions, EveryInputLoadsOrFailsWithAMessage)
{
    const QDir folder(QStringLiteral(WORDLOOM_FUZZ_REGRESSIONS));
    QList<QByteArray> inputs;
    for (const QString &file : folder.entryList(QDir::Files, QDir::Name))
        inputs << readBytes(folder.filePath(file));
    ASSERT_FALSE(inputs.isEmpty()) << folder.path().toStdString();
    std::mt19937 rng(42);
    for (const char *name : {"utf16.xml", "latin1.xml", "cp1252.xml"}) {
        const QByteArray good = readBytes(testData(QLatin1String(name)));
        inputs << good;
        for (int round = 0; round < 100; ++round) {
            QByteArray bytes = good;
            const auto at = [&] { return qsizetype(rng() % bytes.size()); };
            if (round % 3 == 0)
                bytes.truncate(at());
            else if (round % 3 == 1)
                for (int i = 0; i < 4; ++i)
                    bytes[at()] = char(rng());
            else
                bytes.insert(at(), bytes.mid(at(), 20));
            inputs << bytes;
        }
    }
    QTemporaryDir work;
    for (const QByteArray &bytes : inputs) {
        SCOPED_TRACE(bytes.left(80).toStdString());
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(checkPackBytes(bytes, work.path()), QString());
        EXPECT_LT(timer.elapsed(), 5000);
    }
}
