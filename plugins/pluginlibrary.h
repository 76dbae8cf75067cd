#pragma once

#include "plugins/genericExportInterface.h"

#include <QLibrary>
#include <QString>

namespace Wordloom {

// The entry points of one plug-in; a missing one is null.
struct ExportEntryPoints {
    Export_getExportName_t getExportName = nullptr;
    Export_getDefaultExtension_t getDefaultExtension = nullptr;
    Export_getFilterMask_t getFilterMask = nullptr;
    Export_Init_t init = nullptr;
    Export_setHashlistKeys_t setHashlistKeys = nullptr;
    Export_setHashlistHTML_t setHashlistHTML = nullptr;
    Export_setHashlistBreaks_t setHashlistBreaks = nullptr;
    Export_setHashlistLinebreaks_t setHashlistLinebreaks = nullptr;
    // Looked up only in a plug-in of version 2 or later.
    Export_setInfo_t setInfo = nullptr;
    Export_setHashlistComments_t setHashlistComments = nullptr;
    Export_setFileName_t setFileName = nullptr;
    Export_startExport_t startExport = nullptr;
    Export_getLastError_t getLastError = nullptr;
    Export_Free_t free = nullptr;
};

// One load of a plug-in library, released when the object goes.
class PluginLibrary {
public:
    // Loads the library and looks up its entry points. A file that is no
    // library, or a plug-in built for a newer contract than this host's,
    // leaves the object unloaded.
    explicit PluginLibrary(const QString &path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary &) = delete;
    PluginLibrary &operator=(const PluginLibrary &) = delete;

    bool isLoaded() const { return mLoaded; }
    const ExportEntryPoints &entryPoints() const { return mEntry; }

private:
    QLibrary mLibrary;
    bool mLoaded = false;
    ExportEntryPoints mEntry;
};

} // namespace Wordloom
