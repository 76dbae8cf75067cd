#include "pluginfixtures.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace Wordloom {

QString fixturePlugin(const char *name)
{
    return QStringLiteral(WORDLOOM_TEST_PLUGINS "/%1.so").arg(QLatin1String(name));
}

void installPlugins(const QString &folder, std::initializer_list<const char *> names)
{
    QDir().mkpath(folder);
    for (const char *name : names)
        EXPECT_TRUE(QFile::copy(fixturePlugin(name), QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".so"))))
            << name;
}

bool isMapped(const QString &path)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    EXPECT_TRUE(maps.open(QIODevice::ReadOnly));
    return maps.readAll().contains(QFile::encodeName(path));
}

Journal::Journal(const QString &path) : mPath(path)
{
    clear();
    qputenv("WORDLOOM_TEST_JOURNAL", QFile::encodeName(path));
}

Journal::~Journal()
{
    qunsetenv("WORDLOOM_TEST_JOURNAL");
    for (const char *variable : {"WORDLOOM_TEST_NAME", "WORDLOOM_TEST_EXTENSION", "WORDLOOM_TEST_FILTER"})
        qunsetenv(variable);
}

QStringList Journal::lines() const
{
    QFile file(mPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void Journal::clear() const
{
    QFile file(mPath);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
}

} // namespace Wordloom
