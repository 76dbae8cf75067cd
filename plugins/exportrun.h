#pragma once

#include "document/packformat.h"

#include <QString>
#include <functional>
#include <memory>
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

class PluginHelper;
struct Progress;

// One export run in the plug-in helper (wordloom-plughost), so that a plug-in
// that crashes or ends the process takes only the helper down: open() loads
// the library there and asks its offer, run() streams the lists to it and
// lets it make the calls of the contract. Without run() the helper ends
// when the session goes, and the plug-in sees nothing past its offer.
class ExportSession {
public:
    ExportSession();
    ~ExportSession();
    // Loads the library in a new helper; false when it does not load. Throws
    // Error when the helper cannot start or the plug-in fails answering.
    bool open(const QString &libraryPath);
    const ExportOffer &offer() const { return mOffer; }
    // Hands the lists, the info values and the file name over and lets the
    // plug-in export. Throws Error when the plug-in reports a failure or the
    // helper dies, and Cancelled when progress was cancelled, which ends the
    // helper at once; progress counts the lines sent.
    void run(const QString &fileName, const KeyData &data, const InfoValues &info, Progress *progress = nullptr);

private:
    std::unique_ptr<PluginHelper> mHelper;
    ExportOffer mOffer;
};

// The message of a helper that ended before its answer, "Das Plug-in ist
// abgestürzt (Signal 11)" and the like.
QString helperFailure(const PluginHelper &helper);

// One export run through an ExportSession: loads the library, asks its offer, lets chooseFile pick
// the target (the empty text cancels), then hands the four lists and the
// file name to the plug-in, and to a plug-in of version 2 or later also the
// info values and the comments. The library is released on every path.
// Throws Error when the plug-in reports that its export failed.
ExportOutcome runExport(const QString &libraryPath, const KeyData &data,
    const std::function<QString(const ExportOffer &)> &chooseFile, const InfoValues &info = InfoValues(),
    Progress *progress = nullptr);

} // namespace Wordloom
