#pragma once

#include "document/keylist.h"
#include "document/packformat.h"
#include "document/xmldom.h"

namespace Wordloom {

// The one open language pack: its keys, the five per-key lists, the info
// values, the XML tree it was loaded or created from, its file and flags.
// The object and its lists live as long as the window that holds it; loading,
// creating and closing refill them.
class LanguagePack {
public:
    enum class State { NeverOpened, Empty, Open };

    LanguagePack();

    KeyList &keys() { return mKeys; }
    const KeyList &keys() const { return mKeys; }
    KeyData data;

    QString packProject;
    QString packName;
    QString packLang;
    QString packVersion;
    QString packDate;
    QString packPath;
    // The name part of the path last loaded or written.
    QString packFileName;

    // Always each other's negation.
    bool saved = true;
    bool modified = false;
    void markModified() { saved = false; modified = true; }
    void markSaved() { saved = true; modified = false; }

    InfoValues infoValues() const;
    void setInfoValues(const InfoValues &info);

    State state() const;

    // Reads the whole file first; on any error nothing here changes. Returns
    // the names that share an entry with a name differing only in case.
    QStringList load(const QString &path);
    void create(const InfoValues &info);
    void close();
    // Rebuilds the tree from the model and the given info values and writes
    // it atomically; afterwards the path is the pack's file. Throws Error
    // and leaves the file on disk untouched when anything fails.
    void write(const QString &path, const InfoValues &info);

private:
    KeyList mKeys;
    XmlDocument mXml;
};

} // namespace Wordloom
