#pragma once

#include <QString>
#include <QStringList>
#include <initializer_list>

namespace Wordloom {

// The built test plug-in of that name ("recorder", "bare", ...).
QString fixturePlugin(const char *name);
// Copies the named test plug-ins into folder, creating it.
void installPlugins(const QString &folder, std::initializer_list<const char *> names);
// Whether a library of that path is mapped into this process.
bool isMapped(const QString &path);

// The file the recorder plug-ins write their calls to, emptied on creation.
class Journal {
public:
    explicit Journal(const QString &path);
    ~Journal();
    QStringList lines() const;
    void clear() const;

private:
    QString mPath;
};

} // namespace Wordloom
