#include "plugins/plugincatalog.h"

#include "plugins/hosttext.h"

#include <QCoreApplication>
#include <QDir>

namespace Wordloom {

namespace {

#if defined(Q_OS_WIN)
constexpr char kPluginPattern[] = "*.dll";
#elif defined(Q_OS_MACOS)
constexpr char kPluginPattern[] = "*.dylib";
#else
constexpr char kPluginPattern[] = "*.so";
#endif

} // namespace

QString PluginCatalog::programPluginFolder()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Plugins"));
}

void PluginCatalog::scan(const QString &folder)
{
    mFolder = folder;
    const QDir dir(folder);
    // Directories and hidden entries match too; they simply do not load.
    QDir::Filters filters = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
#ifndef Q_OS_WIN
    filters |= QDir::CaseSensitive;
#endif
    const QString pattern = QString::fromLatin1(kPluginPattern);
    // One variable for every name: a plug-in must store its name each time.
    HostText name;
    for (const QString &entry : dir.entryList({pattern}, filters, QDir::Name)) {
        auto library = std::make_unique<PluginLibrary>(dir.filePath(entry));
        if (!library->isLoaded())
            continue;
        const Export_getExportName_t getExportName = library->entryPoints().getExportName;
        mLoaded.push_back(std::move(library));
        if (!getExportName)
            continue;
        getExportName(name.get());
        mHashlistPlugins.setValue(name.value(), entry);
        mNames.append(name.value());
    }
}

QString PluginCatalog::libraryPath(const QString &exportName) const
{
    const QString fileName = mHashlistPlugins.value(exportName);
    return fileName.isEmpty() ? QString() : QDir(mFolder).filePath(fileName);
}

} // namespace Wordloom
