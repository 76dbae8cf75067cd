#include "plugins/pluginlibrary.h"

#include <QFileInfo>

namespace Wordloom {

namespace {

template <typename F> void lookUp(QLibrary &library, F &entry, const char *name)
{
    entry = reinterpret_cast<F>(library.resolve(name));
}

} // namespace

PluginLibrary::PluginLibrary(const QString &path)
{
    // QLibrary would try other file names for a path that is no file.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    mLibrary.setFileName(path);
    if (!mLibrary.load())
        return;
    // A newer contract may have grown the structs this host hands over.
    Export_getInterfaceVersion_t version = nullptr;
    lookUp(mLibrary, version, "Export_getInterfaceVersion");
    const int contract = version ? version() : 1;
    if (contract > EXPORT_INTERFACE_VERSION) {
        mLibrary.unload();
        return;
    }
    mLoaded = true;
    lookUp(mLibrary, mEntry.getExportName, "Export_getExportName");
    lookUp(mLibrary, mEntry.getDefaultExtension, "Export_getDefaultExtension");
    lookUp(mLibrary, mEntry.getFilterMask, "Export_getFilterMask");
    lookUp(mLibrary, mEntry.init, "Export_Init");
    lookUp(mLibrary, mEntry.setHashlistKeys, "Export_setHashlistKeys");
    lookUp(mLibrary, mEntry.setHashlistHTML, "Export_setHashlistHTML");
    lookUp(mLibrary, mEntry.setHashlistBreaks, "Export_setHashlistBreaks");
    lookUp(mLibrary, mEntry.setHashlistLinebreaks, "Export_setHashlistLinebreaks");
    if (contract >= 2) {
        lookUp(mLibrary, mEntry.setInfo, "Export_setInfo");
        lookUp(mLibrary, mEntry.setHashlistComments, "Export_setHashlistComments");
    }
    lookUp(mLibrary, mEntry.setFileName, "Export_setFileName");
    lookUp(mLibrary, mEntry.startExport, "Export_startExport");
    lookUp(mLibrary, mEntry.getLastError, "Export_getLastError");
    lookUp(mLibrary, mEntry.free, "Export_Free");
}

PluginLibrary::~PluginLibrary()
{
    if (mLoaded)
        mLibrary.unload();
}

} // namespace Wordloom
