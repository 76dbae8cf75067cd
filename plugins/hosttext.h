#pragma once

#include "plugins/genericExportInterface.h"

#include <QByteArray>
#include <QString>

namespace Wordloom {

// A text variable the host hands to a plug-in. The plug-in answers through
// its assign callback; the bytes are copied on the host's side.
class HostText {
public:
    explicit HostText(const QString &initial = QString());
    HostText(const HostText &) = delete;
    HostText &operator=(const HostText &) = delete;

    ExportText *get() { return &mText; }
    QString value() const { return QString::fromUtf8(mBytes); }

private:
    static void EXPORT_CALL assign(ExportText *text, const char *utf8, size_t length) noexcept;
    void set(QByteArray bytes) noexcept;

    QByteArray mBytes;
    ExportText mText;
};

} // namespace Wordloom
