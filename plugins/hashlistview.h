#pragma once

#include "document/hashlist.h"
#include "plugins/genericExportInterface.h"

#include <QByteArray>
#include <QHash>

namespace Wordloom {

// A read-only view of a Hashlist for plug-ins. Every text it hands out is
// converted to UTF-8 once and kept until the view goes, so a plug-in may hold
// on to it for the whole run.
class HashlistView {
public:
    explicit HashlistView(const Hashlist &list);
    HashlistView(const HashlistView &) = delete;
    HashlistView &operator=(const HashlistView &) = delete;

    const ExportHashlist *get() const { return &mView; }

private:
    static const HashlistView &self(const ExportHashlist *view)
    {
        return *static_cast<const HashlistView *>(view->host);
    }
    static size_t EXPORT_CALL count(const ExportHashlist *view) noexcept;
    static const char *EXPORT_CALL nameAt(const ExportHashlist *view, size_t index, size_t *length) noexcept;
    static const char *EXPORT_CALL valueAt(const ExportHashlist *view, size_t index, size_t *length) noexcept;
    static const char *EXPORT_CALL lineAt(const ExportHashlist *view, size_t index, size_t *length) noexcept;
    static const char *EXPORT_CALL valueOf(const ExportHashlist *view, const char *name, size_t *length) noexcept;

    // The UTF-8 form of a text, made once; "" when memory runs out.
    const char *utf8(const QString &text, size_t *length) const noexcept;
    bool inRange(size_t index) const { return index < size_t(mList.count()); }

    const Hashlist &mList;
    ExportHashlist mView;
    mutable QHash<QString, QByteArray> mTexts;
};

} // namespace Wordloom
