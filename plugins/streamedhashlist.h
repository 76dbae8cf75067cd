#pragma once

#include "plugins/genericExportInterface.h"
#include "plugins/hostprotocol.h"

#include <QByteArray>
#include <QtGlobal>
#include <unordered_map>
#include <vector>

namespace Wordloom {

// A plug-in's read-only view of one list as the helper received it: the
// texts stay in the frames they came in, as NUL-terminated UTF-8, so no
// text is copied or converted. The lines are those of one Hashlist (names
// unique ignoring case, values never empty). The index behind valueOf is
// built by its first call, so a plug-in that never asks by name pays
// nothing for it. Every text handed out stays valid as long as the object.
class StreamedHashlist {
public:
    StreamedHashlist();
    StreamedHashlist(const StreamedHashlist &) = delete;
    StreamedHashlist &operator=(const StreamedHashlist &) = delete;

    // Takes count lines of (name, value) from the frame, each text written
    // by FrameWriter::nulText; false when the frame is short of them.
    bool append(HostProtocol::FrameReader &frame, quint32 count);

    const ExportHashlist *get() const { return &mView; }
    qsizetype count() const { return qsizetype(mLines.size()); }

private:
    struct Text {
        const char *bytes;
        quint32 size;
    };
    struct Line {
        Text name;
        Text value;
    };
    struct Slot {
        quint32 tag;
        qint32 line;
    };

    static const StreamedHashlist &self(const ExportHashlist *view)
    {
        return *static_cast<const StreamedHashlist *>(view->host);
    }
    static size_t EXPORT_CALL countOf(const ExportHashlist *view) noexcept;
    static const char *EXPORT_CALL nameAt(const ExportHashlist *view, size_t index, size_t *length) noexcept;
    static const char *EXPORT_CALL valueAt(const ExportHashlist *view, size_t index, size_t *length) noexcept;
    static const char *EXPORT_CALL lineAt(const ExportHashlist *view, size_t index, size_t *length) noexcept;
    static const char *EXPORT_CALL valueOf(const ExportHashlist *view, const char *name, size_t *length) noexcept;

    static const char *answer(Text text, size_t *length);
    // The line of that name ignoring case, or -1.
    qsizetype find(const char *name) const;
    void buildIndex() const;

    ExportHashlist mView;
    // The frames the texts point into.
    std::vector<QByteArray> mFrames;
    std::vector<Line> mLines;
    mutable std::vector<Slot> mSlots;
    mutable qsizetype mLastFound = -1;
    // Lines as name "=" value, made when asked for.
    mutable std::unordered_map<size_t, QByteArray> mJoined;
};

} // namespace Wordloom
