#pragma once

#include "document/packformat.h"

#include <QUndoCommand>
#include <memory>
#include <vector>

namespace Wordloom {

class LanguagePack;

// One change of the open pack, as the undo history holds it: the lines of
// the per-key lists it changed, the key list rows it added, dropped or
// renamed and an info value, each with what was there before. A change of
// many keys is one step with many lines, never one command per key.
class PackStep : public QUndoCommand {
public:
    // A line of one list, before and after; an empty value is no line. The
    // position is where the line stood or was put, so undo puts a removed
    // line back in its place.
    struct LineChange {
        QString name;
        QString oldName;
        QString before;
        QString after;
        size_t hash = 0;
        qsizetype pos = -1;
        KeyField field = KeyField::Translation;
    };
    struct KeyChange {
        enum class Kind { Insert, Remove, Rename };
        Kind kind;
        qsizetype row;
        qsizetype newRow;
        QString name;
        QString newName;
    };

    PackStep(LanguagePack &pack, const QString &text, const QString &key);

    void undo() override;
    void redo() override;

    // The key to show once the step is undone or redone; empty for an info
    // value, whose row is infoRow().
    const QString &key() const { return mKey; }
    int infoRow() const { return mInfoRow; }
    bool isEmpty() const { return mLines->empty() && mKeys.empty() && mInfoRow < 0; }
    // Tells apart every step made in this process.
    quint64 serial() const { return mSerial; }
    // The bytes of text the step keeps alive.
    qint64 size() const;
    // Frees the recorded changes of a step that can no longer be undone.
    void release();
    const std::vector<LineChange> &lines() const { return *mLines; }
    // The lines shared, for a reader elsewhere: they do not change once
    // the step is recorded.
    std::shared_ptr<const std::vector<LineChange>> sharedLines() const { return mLines; }
    const std::vector<KeyChange> &keyChanges() const { return mKeys; }

private:
    friend class LanguagePack;
    friend class JournalCodec;

    LanguagePack &mPack;
    QString mKey;
    std::shared_ptr<std::vector<LineChange>> mLines = std::make_shared<std::vector<LineChange>>();
    std::vector<KeyChange> mKeys;
    int mInfoRow = -1;
    QString mInfoBefore;
    QString mInfoAfter;
    // The step was applied while it was recorded.
    bool mApplied = true;
    mutable qint64 mSize = -1;
    quint64 mSerial;
};

} // namespace Wordloom
