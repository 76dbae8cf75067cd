#include "plugins/hashlistview.h"

namespace Wordloom {

HashlistView::HashlistView(const Hashlist &list)
    : mList(list)
    , mView{&HashlistView::count, &HashlistView::nameAt, &HashlistView::valueAt, &HashlistView::lineAt,
          &HashlistView::valueOf, this}
{
}

const char *HashlistView::utf8(const QString &text, size_t *length) const noexcept
{
    const char *result = "";
    size_t size = 0;
    try {
        auto it = mTexts.constFind(text);
        if (it == mTexts.cend())
            it = mTexts.insert(text, text.toUtf8());
        // A moved QByteArray keeps its buffer, so rehashing never moves the bytes.
        result = it->constData();
        size = size_t(it->size());
    } catch (...) {
    }
    if (length)
        *length = size;
    return result;
}

size_t EXPORT_CALL HashlistView::count(const ExportHashlist *view) noexcept
{
    return size_t(self(view).mList.count());
}

const char *EXPORT_CALL HashlistView::nameAt(const ExportHashlist *view, size_t index, size_t *length) noexcept
{
    const HashlistView &s = self(view);
    return s.utf8(s.inRange(index) ? s.mList.nameAt(qsizetype(index)) : QString(), length);
}

const char *EXPORT_CALL HashlistView::valueAt(const ExportHashlist *view, size_t index, size_t *length) noexcept
{
    const HashlistView &s = self(view);
    return s.utf8(s.inRange(index) ? s.mList.valueAt(qsizetype(index)) : QString(), length);
}

const char *EXPORT_CALL HashlistView::lineAt(const ExportHashlist *view, size_t index, size_t *length) noexcept
{
    const HashlistView &s = self(view);
    try {
        return s.utf8(s.inRange(index) ? s.mList.lineAt(qsizetype(index)) : QString(), length);
    } catch (...) {
        return s.utf8(QString(), length);
    }
}

const char *EXPORT_CALL HashlistView::valueOf(const ExportHashlist *view, const char *name, size_t *length) noexcept
{
    const HashlistView &s = self(view);
    try {
        return s.utf8(name ? s.mList.value(QString::fromUtf8(name)) : QString(), length);
    } catch (...) {
        return s.utf8(QString(), length);
    }
}

} // namespace Wordloom
