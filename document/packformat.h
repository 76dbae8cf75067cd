#pragma once

#include "document/hashlist.h"
#include "document/packinfo.h"
#include "document/xmldom.h"

#include <QIODevice>
#include <QStringList>
#include <vector>

namespace Wordloom {

struct Progress;

// The five per-key fields, in the order a commit writes them.
enum class KeyField { Translation, Comment, EncodeHTML, PreserveLinebreaks, UnixNewline };
inline constexpr KeyField kKeyFields[] = {KeyField::Translation, KeyField::Comment, KeyField::EncodeHTML,
    KeyField::PreserveLinebreaks, KeyField::UnixNewline};

// The five per-key lists of a pack.
struct KeyData {
    Hashlist hashlistKeys; // key -> translation
    Hashlist hashlistHTML; // key -> encodeHTML option
    Hashlist hashlistBreaks; // key -> preserveLinebreaks option
    Hashlist hashlistLinebreaks; // key -> unixNewline option
    Hashlist hashlistComments; // key -> comment

    Hashlist &list(KeyField field);
    const Hashlist &list(KeyField field) const { return const_cast<KeyData *>(this)->list(field); }
    void clear();
    void swap(KeyData &other) noexcept;
};

// What reading a pack file yields; nothing of the open pack is touched.
struct PackContent {
    XmlDocument xml;
    InfoValues info;
    std::vector<QString> keys; // sorted
    KeyData data;
    // Names that differ from another name only in letter case and so share
    // its stored entry, each spelling once, in list order.
    QStringList caseVariants;
    // The rows of keys with a translation, when counted (by the reading
    // where no two keys share an entry, else LanguagePack::countTranslations),
    // else -1.
    qsizetype translatedRows = -1;
};

// Reads a pack as it streams in. Throws Error on a file that is not
// well-formed XML and on a key whose value or comment is not a single text.
PackContent readPackFile(const QString &path, Progress *progress = nullptr);
// Reads a pack from the bytes of a file; source names it in messages.
PackContent readPackData(const QByteArray &bytes, const QString &source = QString());

// Writes the pack to the device as it is built: the tree with the five
// info attributes, its content made of the non-empty keys. Refuses (throws
// Error, tree as before) when a text holds a character that XML 1.0 cannot
// carry; the output may then hold a part of the pack.
void writePack(QIODevice &output, XmlDocument &xml, const InfoValues &info, const std::vector<QString> &keys,
    const KeyData &data);

// The warning about names that share their entry with another name
// differing only in letter case.
QString caseVariantWarning(const QStringList &names);

// The document text of a new pack.
QString newPackTemplate(const InfoValues &info);

} // namespace Wordloom
