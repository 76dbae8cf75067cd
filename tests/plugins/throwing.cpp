// A test plug-in in C++ that lets an exception out of Export_startExport.
#include "plugins/genericExportInterface.h"

#include <cstring>
#include <stdexcept>

EXPORT_API void EXPORT_CALL Export_getExportName(ExportText *name) noexcept
{
    name->assign(name, "Throwing", std::strlen("Throwing"));
}

EXPORT_API void EXPORT_CALL Export_startExport() noexcept
{
    throw std::runtime_error("careless");
}
