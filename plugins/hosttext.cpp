#include "plugins/hosttext.h"

#include <limits>

namespace Wordloom {

HostText::HostText(const QString &initial) : mText{nullptr, 0, &HostText::assign, this}
{
    set(initial.toUtf8());
}

void HostText::set(QByteArray bytes) noexcept
{
    mBytes = std::move(bytes);
    mText.value = mBytes.constData();
    mText.length = size_t(mBytes.size());
}

void EXPORT_CALL HostText::assign(ExportText *text, const char *utf8, size_t length) noexcept
{
    if (!text || !text->host)
        return;
    auto *self = static_cast<HostText *>(text->host);
    if (!utf8 || length > size_t(std::numeric_limits<qsizetype>::max()))
        length = 0;
    try {
        self->set(QByteArray(length ? utf8 : "", qsizetype(length)));
    } catch (...) {
        // Out of memory: the variable keeps its value.
    }
}

} // namespace Wordloom
