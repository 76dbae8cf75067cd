#pragma once

#include "document/hashlist.h"
#include "plugins/pluginlibrary.h"

#include <QStringList>
#include <memory>
#include <vector>

namespace Wordloom {

// The export plug-ins found at start-up: their names in the order found,
// and hashlistPlugins from export name to library file name. The libraries
// the scan loaded stay loaded as long as the catalog.
class PluginCatalog {
public:
    // "Plugins" in the folder of the running executable, wherever the
    // process was started from.
    static QString programPluginFolder();

    // Loads every *.so of the folder in file name order and lists those that
    // report an export name. Entries that do not load are skipped silently.
    void scan(const QString &folder);

    const QStringList &exportNames() const { return mNames; }
    const Hashlist &hashlistPlugins() const { return mHashlistPlugins; }
    // The library listed for an export name, ignoring case; the empty text
    // when there is none.
    QString libraryPath(const QString &exportName) const;

private:
    QString mFolder;
    Hashlist mHashlistPlugins;
    QStringList mNames;
    std::vector<std::unique_ptr<PluginLibrary>> mLoaded;
};

} // namespace Wordloom
