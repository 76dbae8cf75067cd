#pragma once

#include "document/keylist.h"
#include "document/packformat.h"
#include "document/packstep.h"
#include "document/xmldom.h"

#include <QObject>
#include <QUndoStack>

namespace Wordloom {

struct Progress;

// One key's stored data as the editor shows it. Options hold "1" when on.
struct KeyEntry {
    QString translation;
    QString comment;
    QString encodeHTML;
    QString preserveLinebreaks;
    QString unixNewline;

    QString &field(KeyField field);
    const QString &field(KeyField f) const { return const_cast<KeyEntry *>(this)->field(f); }
    // Whether there is anything to store.
    bool isEmpty() const;
};

class PackStep;

// A new value of one field of one key, for a step over many keys.
struct FieldChange {
    QString name;
    KeyField field;
    QString value;
};

// The one open language pack: its keys, the five per-key lists, the info
// values, the XML tree it was loaded or created from, its file and its undo
// history. Every change is a step on that history, and the pack is modified
// while the history is not where it was last loaded or written. The object
// and its lists live as long as the window that holds it; loading, creating
// and closing refill them.
class LanguagePack : public QObject {
    Q_OBJECT
public:
    enum class State { NeverOpened, Empty, Open };

    LanguagePack();
    ~LanguagePack() override;

    const KeyList &keys() const { return mKeys; }
    const KeyData &data() const { return mData; }

    // The info values as the info grid shows them.
    const InfoValues &info() const { return mInfo; }
    static QString &infoField(InfoValues &info, int row);
    static const QString &infoField(const InfoValues &info, int row)
    {
        return infoField(const_cast<InfoValues &>(info), row);
    }
    // Sets a value the program computes (version raise, date stamp), not a step.
    void setInfoValue(int row, const QString &value);
    // The user's edit of an info value, as a step.
    void editInfoValue(int row, const QString &value);
    // Whether the version differs from the one last loaded or written.
    bool isVersionEdited() const { return mInfo.version != mWrittenVersion; }
    // The file last loaded or written, and its name part for the status line.
    const QString &path() const { return mPath; }
    const QString &fileName() const { return mFileName; }

    bool isModified() const { return mUnwritten || !mHistory.isClean(); }
    bool isSaved() const { return !isModified(); }

    // The history. Steps beyond the byte budget are dropped, oldest first.
    const QUndoStack &history() const { return mHistory; }
    bool canUndo() const { return mHistory.index() > mUndoFloor; }
    bool canRedo() const { return mHistory.canRedo(); }
    // The step undo() or redo() would apply next, or nullptr.
    const PackStep *undoStep() const;
    const PackStep *redoStep() const;
    void undo();
    void redo();
    void setHistoryBudget(qint64 bytes) { mHistoryBudget = bytes; }

    // Listed keys without a translation.
    qsizetype untranslatedCount() const;

    State state() const;

    // Reads the whole file first; on any error nothing here changes. Returns
    // the names that share an entry with a name differing only in case.
    QStringList load(const QString &path);
    // The same in two steps: read (on any thread, nothing here is touched)
    // and adopt what was read.
    static PackContent read(const QString &path, Progress *progress = nullptr);
    // Counts what was read for the status line, so adopting it need not.
    static void countTranslations(PackContent &content);
    QStringList adopt(PackContent pack, const QString &path);
    void create(const InfoValues &info);
    void close();
    // Rebuilds the tree from the model and the given info values and writes
    // it atomically; afterwards the path is the pack's file. Throws Error
    // and leaves the file on disk untouched when anything fails.
    void write(const QString &path, const InfoValues &info);
    // The same in two steps: writeFile changes nothing but the file (and
    // may run on another thread while nothing else touches the pack; with
    // progress it counts the bytes and a cancel throws Cancelled), then
    // markWritten makes the path the pack's file and marks it saved.
    void writeFile(const QString &path, const InfoValues &info, Progress *progress = nullptr);
    // Writes the pack's bytes to a device, as writeFile writes them to a file.
    void writeTo(QIODevice &device, const InfoValues &info);
    void markWritten(const QString &path);

    // Key operations; each that changes anything is a step.
    KeyEntry entry(const QString &name) const;
    // Stores the entry under the name. In an open pack a name outside the
    // list joins it when the entry holds anything, so that everything stored
    // is saved; returns its new row, or -1 when the list did not change.
    qsizetype commit(const QString &name, const KeyEntry &entry);
    // Adds a name with no data at its sorted place; returns its row.
    qsizetype addKey(const QString &name);
    // Removes the name's five lines and the list row, when there is one.
    void dropKey(const QString &name, qsizetype row);
    // Moves the key at row to another name with the given translation and its
    // comment and options. Returns the new row, or -1 when another key
    // (ignoring case) already has that name.
    qsizetype renameKey(const QString &oldName, qsizetype row, const QString &newName, const QString &translation);
    // Adds the names that are not in the list yet, each with its entry, as
    // one step named text; returns how many were added.
    qsizetype addKeys(const QString &text, const std::vector<std::pair<QString, KeyEntry>> &keys);
    // Sets fields of many keys as one step named text.
    void changeMany(const QString &text, const std::vector<FieldChange> &changes);
    // Makes a recorded step again as a new step, forward or backward, by
    // the same primitives, so a step of another session replays. A change
    // that does not find what the step started from is left out and its key
    // is added to the conflicts; with strict, so is a key added that is
    // there already.
    void reapply(const PackStep &recorded, bool forward, QStringList &conflicts, bool strict);

signals:
    void modifiedChanged(bool modified);
    // A key's stored data changed by an undo or redo.
    void entryChanged(const QString &name);
    // An info value changed by a step, an undo or redo, or the program.
    void infoChanged(int row);
    // The history as a journal follows it: a step pushed, undone or redone;
    // a fresh history (load, new, close); the pack written.
    void stepDone(const Wordloom::PackStep &step);
    void stepUndone(const Wordloom::PackStep &step);
    void stepRedone(const Wordloom::PackStep &step);
    void historyReset();
    void written();

private:
    friend class PackStep;

    // Recording: each primitive changes the pack and notes what it did in
    // the step being recorded.
    void beginStep(const QString &text, const QString &key);
    // Pushes the recorded step; an empty one only when forced.
    void endStep(bool evenEmpty = false);
    // A line that is gone comes back at revive when that place is free.
    void setLine(KeyField field, const QString &name, const QString &value, size_t hash, qsizetype revive = -1);
    void storeEntry(const QString &name, const KeyEntry &entry);
    qsizetype insertKey(const QString &name);
    void removeKey(qsizetype row);
    qsizetype renameRow(qsizetype row, const QString &name);
    // Applies a recorded step forwards or backwards.
    void replay(PackStep &step, bool forward);
    void applyLine(const PackStep::LineChange &change, bool forward);
    void applyKey(const PackStep::KeyChange &change, bool forward);
    void applyInserts(const std::vector<PackStep::KeyChange> &inserts, bool forward);
    // Keeps the count of translated rows as lines and rows come and go.
    void countTranslation(const QString &name, int sign);
    void countRow(const QString &name, int sign);
    qsizetype translatedRowsOf(QStringList names) const;
    void resetHistory(bool unwritten, qsizetype translatedRows = -1);
    void updateModified();
    void trimHistory();

    KeyList mKeys;
    KeyData mData;
    InfoValues mInfo;
    QString mWrittenVersion;
    QString mPath;
    QString mFileName;
    XmlDocument mXml;
    QUndoStack mHistory;
    std::unique_ptr<PackStep> mRecording;
    // Steps below this index were dropped for the budget.
    int mUndoFloor = 0;
    qint64 mHistoryBudget = qint64(64) << 20;
    qint64 mHistoryBytes = 0;
    // A created pack is modified until it is written.
    bool mUnwritten = false;
    bool mWasModified = false;
    mutable qsizetype mTranslatedRows = -1;
};

} // namespace Wordloom
