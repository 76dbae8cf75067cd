#pragma once

#include "document/packformat.h"

#include <QString>
#include <functional>
#include <optional>

namespace Wordloom {

// What a plug-in answers before its save dialog.
struct ExportOffer {
    QString extension = QStringLiteral("txt");
    QString filterMask = QStringLiteral("Text (*.txt)|*.txt");
    // Missing when the plug-in has no Export_getExportName.
    std::optional<QString> exportName;

    QString dialogTitle() const
    {
        return exportName ? *exportName + QStringLiteral("-Export") : QStringLiteral("Export");
    }
    QString dialogFilter() const { return filterMask + QStringLiteral("|Alle Dateien (*.*)|*.*"); }
};

enum class ExportOutcome { NotLoaded, Cancelled, Exported };

// One export run: loads the library, asks its offer, lets chooseFile pick
// the target (the empty text cancels), then hands the four lists and the
// file name to the plug-in, and to a plug-in of version 2 or later also the
// info values and the comments. The library is released on every path.
// Throws Error when the plug-in reports that its export failed.
ExportOutcome runExport(const QString &libraryPath, const KeyData &data,
    const std::function<QString(const ExportOffer &)> &chooseFile, const InfoValues &info = InfoValues());

} // namespace Wordloom
