#pragma once

// Test support for the layers below the editor: no widgets.

#include "document/clock.h"
#include "document/packformat.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

// Tests spell their texts as u"..."_s.
using namespace Qt::StringLiterals;

namespace Wordloom {

struct FixedClock : Clock {
    QDate date{2026, 1, 5};
    QTime time{9, 5};
    QDate currentDate() const override { return date; }
    QTime currentTime() const override { return time; }
};

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << "cannot read " << path.toStdString();
    return file.readAll();
}

inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << "cannot write " << path.toStdString();
    file.write(bytes);
}

// Every line of the five lists as "k name=value", tagged k(eys), c(omments),
// h(tml), b(reaks) and l(inebreaks).
inline QStringList listLines(const KeyData &data)
{
    QStringList all;
    const std::pair<char, const Hashlist *> lists[] = {{'k', &data.hashlistKeys}, {'c', &data.hashlistComments},
        {'h', &data.hashlistHTML}, {'b', &data.hashlistBreaks}, {'l', &data.hashlistLinebreaks}};
    for (const auto &[tag, list] : lists)
        for (qsizetype i = 0; i < list->count(); ++i)
            all << QString(QLatin1Char(tag)) + QLatin1Char(' ') + list->lineAt(i);
    return all;
}

inline QString testData(const QString &name)
{
    return QStringLiteral(WORDLOOM_TEST_DATA "/") + name;
}

// A test with a temporary folder for its files.
class FolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString &name) const { return dir.filePath(name); }
    // Writes a pack file into the temporary folder and returns its path.
    QString writePack(const QString &name, const QByteArray &xml) const
    {
        writeBytes(path(name), xml);
        return path(name);
    }

    QTemporaryDir dir;
};

} // namespace Wordloom
