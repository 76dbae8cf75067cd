#pragma once

#include "document/keylist.h"
#include "document/packformat.h"
#include "document/xmldom.h"

#include <QObject>

namespace Wordloom {

// One key's stored data as the editor shows it. Options hold "1" when on.
struct KeyEntry {
    QString translation;
    QString comment;
    QString encodeHTML;
    QString preserveLinebreaks;
    QString unixNewline;

    // Whether there is anything to store.
    bool isEmpty() const;
};

// The one open language pack: its keys, the five per-key lists, the info
// values, the XML tree it was loaded or created from, its file and whether it
// is saved. The object and its lists live as long as the window that holds
// it; loading, creating and closing refill them.
class LanguagePack : public QObject {
    Q_OBJECT
public:
    enum class State { NeverOpened, Empty, Open };

    LanguagePack();
    ~LanguagePack() override;

    KeyList &keys() { return mKeys; }
    const KeyList &keys() const { return mKeys; }
    const KeyData &data() const { return mData; }

    const InfoValues &info() const { return mInfo; }
    void setInfo(const InfoValues &info) { mInfo = info; }
    // The file last loaded or written, and its name part for the status line.
    const QString &path() const { return mPath; }
    const QString &fileName() const { return mFileName; }

    bool isSaved() const { return mSaved; }
    bool isModified() const { return !mSaved; }
    void markModified() { setSaved(false); }
    void markSaved() { setSaved(true); }

    State state() const;

    // Reads the whole file first; on any error nothing here changes. Returns
    // the names that share an entry with a name differing only in case.
    QStringList load(const QString &path);
    // The same in two steps: read (on any thread, nothing here is touched)
    // and adopt what was read.
    static PackContent read(const QString &path, struct Progress *progress = nullptr);
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
    void writeFile(const QString &path, const InfoValues &info, struct Progress *progress = nullptr);
    void markWritten(const QString &path);

    // Key operations; each marks the pack modified.
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

signals:
    void savedChanged(bool saved);

private:
    // Removes the name from the five lists, not from the key list.
    void removeEntry(const QString &name);
    void setSaved(bool saved);

    KeyList mKeys;
    KeyData mData;
    InfoValues mInfo;
    QString mPath;
    QString mFileName;
    bool mSaved = true;
    XmlDocument mXml;
};

} // namespace Wordloom
