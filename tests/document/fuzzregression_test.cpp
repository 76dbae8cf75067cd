#include "fuzz/packcheck.h"

#include "../support/testutil.h"

#include <QDir>
#include <QElapsedTimer>

using namespace Wordloom;

// Every input the fuzzer once failed on (and the hostile ones kept beside
// them) loads or fails with a message, quickly, and a loaded one reads back
// the same once written.
TEST(FuzzRegressions, EveryInputLoadsOrFailsWithAMessage)
{
    const QDir folder(QStringLiteral(WORDLOOM_FUZZ_REGRESSIONS));
    const QStringList files = folder.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(files.isEmpty()) << folder.path().toStdString();
    QTemporaryDir work;
    for (const QString &file : files) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray bytes = readBytes(folder.filePath(file));
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(checkPackBytes(bytes, work.path()), QString());
        EXPECT_LT(timer.elapsed(), 5000);
    }
}
