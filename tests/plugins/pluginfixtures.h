#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

namespace Wordloom {

// The built test plug-in of that name ("recorder", "bare", ...).
inline QString fixturePlugin(const char *name)
{
    return QStringLiteral(WORDLOOM_TEST_PLUGINS "/%1.so").arg(QLatin1String(name));
}

// Copies the named test plug-ins into folder, creating it.
inline void installPlugins(const QString &folder, std::initializer_list<const char *> names)
{
    QDir().mkpath(folder);
    for (const char *name : names)
        EXPECT_TRUE(QFile::copy(fixturePlugin(name), QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".so")))) << name;
}

// Whether a library of that path is mapped into this process.
inline bool isMapped(const QString &path)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    EXPECT_TRUE(maps.open(QIODevice::ReadOnly));
    return maps.readAll().contains(QFile::encodeName(path));
}

// The file the recorder plug-ins write their calls to, emptied on creation.
class Journal {
public:
    explicit Journal(const QString &path) : mPath(path)
    {
        clear();
        qputenv("WORDLOOM_TEST_JOURNAL", QFile::encodeName(path));
    }
    ~Journal()
    {
        for (const char *variable : {"WORDLOOM_TEST_JOURNAL", "WORDLOOM_TEST_NAME", "WORDLOOM_TEST_EXTENSION", "WORDLOOM_TEST_FILTER"})
            qunsetenv(variable);
    }
    QStringList lines() const
    {
        QFile file(mPath);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts) : QStringList();
    }
    void clear() const { EXPECT_TRUE(QFile(mPath).open(QIODevice::WriteOnly | QIODevice::Truncate)); }

private:
    QString mPath;
};

} // namespace Wordloom
