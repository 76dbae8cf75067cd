#include "plugins/plugincatalog.h"

#include "document/error.h"
#include "plugins/pluginhelper.h"

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

// How long one library may take to load and tell its name.
constexpr int kDiscoveryLimitMs = 2000;

QString skipReason(const PluginHelper &helper)
{
    switch (helper.end()) {
    case PluginHelper::End::Crashed: return QStringLiteral("abgestürzt");
    case PluginHelper::End::TimedOut: return QStringLiteral("antwortet nicht");
    default: return QStringLiteral("hat sich beendet");
    }
}

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
    QString name;
    // One helper for the whole scan; a new one after a library took it down.
    std::unique_ptr<PluginHelper> helper;
    for (const QString &entry : dir.entryList({pattern}, filters, QDir::Name)) {
        try {
            if (!helper)
                helper = std::make_unique<PluginHelper>();
        } catch (const Error &error) {
            mSkipped.append(error.message());
            return;
        }
        HostProtocol::FrameWriter request(HostProtocol::Kind::Discover);
        request.text(dir.filePath(entry)).text(name);
        helper->send(request);
        std::optional<HostProtocol::FrameReader> answer = helper->receive(kDiscoveryLimitMs);
        if (!answer || answer->kind() != HostProtocol::Kind::Listed) {
            mSkipped.append(QStringLiteral("Plug-in „%1“ übersprungen: %2").arg(entry, skipReason(*helper)));
            helper.reset();
            continue;
        }
        const bool listed = answer->u8();
        const QString answered = answer->text();
        if (!listed)
            continue;
        name = answered;
        mHashlistPlugins.setValue(name, entry);
        mNames.append(name);
    }
}

QString PluginCatalog::libraryPath(const QString &exportName) const
{
    const QString fileName = mHashlistPlugins.value(exportName);
    return fileName.isEmpty() ? QString() : QDir(mFolder).filePath(fileName);
}

} // namespace Wordloom
