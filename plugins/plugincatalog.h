#pragma once

#include "document/hashlist.h"

#include <QStringList>

namespace Wordloom {

// The export plug-ins found at start-up: their names in the order found,
// and hashlistPlugins from export name to library file name. The libraries
// are loaded by the plug-in helper, never in this process.
class PluginCatalog {
public:
    // "Plugins" in the folder of the running executable, wherever the
    // process was started from.
    static QString programPluginFolder();

    // Loads every *.so of the folder in file name order in the plug-in
    // helper and lists those that report an export name. Entries that do not
    // load are skipped silently; a library that crashes, ends the helper or
    // takes more than 2 s is skipped and named in skipped().
    void scan(const QString &folder);
    // "Plug-in „x.so“ übersprungen: abgestürzt" and the like, one per library.
    const QStringList &skipped() const { return mSkipped; }

    const QStringList &exportNames() const { return mNames; }
    const Hashlist &hashlistPlugins() const { return mHashlistPlugins; }
    // The library listed for an export name, ignoring case; the empty text
    // when there is none.
    QString libraryPath(const QString &exportName) const;

private:
    QString mFolder;
    Hashlist mHashlistPlugins;
    QStringList mNames;
    QStringList mSkipped;
};

} // namespace Wordloom
