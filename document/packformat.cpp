#include "document/packformat.h"

#include "document/error.h"
#include "document/faultinjection.h"
#include "document/fetchahead.h"
#include "document/keyintake.h"
#include "document/keylist.h"
#include "document/keytextcodec.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace Wordloom {

Hashlist &KeyData::list(KeyField field)
{
    switch (field) {
    case KeyField::Translation: return hashlistKeys;
    case KeyField::Comment: return hashlistComments;
    case KeyField::EncodeHTML: return hashlistHTML;
    case KeyField::PreserveLinebreaks: return hashlistBreaks;
    case KeyField::UnixNewline: break;
    }
    return hashlistLinebreaks;
}

void KeyData::clear()
{
    hashlistKeys.clear();
    hashlistHTML.clear();
    hashlistBreaks.clear();
    hashlistLinebreaks.clear();
    hashlistComments.clear();
}

void KeyData::swap(KeyData &other) noexcept
{
    hashlistKeys.swap(other.hashlistKeys);
    hashlistHTML.swap(other.hashlistHTML);
    hashlistBreaks.swap(other.hashlistBreaks);
    hashlistLinebreaks.swap(other.hashlistLinebreaks);
    hashlistComments.swap(other.hashlistComments);
}

namespace {

const char *const kOptionAttributes[] = {"encodeHTML", "preserveLinebreaks", "unixNewline"};

// False when the names differ in case-insensitive order at their first
// differing unit, both ASCII there: the common case for neighbours in the
// sorted list, told without folding.
bool mayEqualIgnoringCase(const QString &a, const QString &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const QChar *x = a.constData();
    const QChar *y = b.constData();
    qsizetype i = 0;
    while (i < n && x[i] == y[i])
        ++i;
    if (i == n)
        return a.size() == b.size();
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    const char16_t p = x[i].unicode();
    const char16_t q = y[i].unicode();
    return p >= 0x80 || q >= 0x80 || lower(p) == lower(q);
}

// A key that cannot be read; the file's name is put before the message.
struct KeyError {
    Error error;
};

// Builds the model from the elements of "content" as they stream in: the
// first "key" element and every element after it.
class PackReader {
public:
    // Fewer bytes than a key takes with short texts, so the guess errs high.
    static constexpr qint64 kBytesPerKey = 160;
    static constexpr qint64 kMaxExpected = 1 << 24;

    explicit PackReader(qint64 fileSize) : mIntake(mPack.data, mPack.keys, fileSize) { expect(fileSize); }

    void element(const StreamedElement &node)
    {
        if (!mSeenKey && std::strcmp(node.name(), "key") != 0)
            return;
        mSeenKey = true;
        if (!node.hasAttribute("id"))
            return;
        // Decoding keeps a name empty exactly when its bytes are.
        const QByteArrayView id = node.rawAttribute("id");
        if (id.isEmpty())
            return;
        std::optional<QByteArrayView> options[3];
        for (int i = 0; i < 3; ++i)
            if (node.hasAttribute(kOptionAttributes[i]))
                options[i] = node.rawAttribute(kOptionAttributes[i]);
        QByteArrayView texts[2];
        const bool hasChildren = node.hasChildNodes();
        if (hasChildren) {
            try {
                texts[0] = node.childText("value");
                texts[1] = node.childText("comment");
            } catch (const Error &error) {
                throw KeyError{Error(QStringLiteral("Zeile %1, Schlüssel \"%2\": %3")
                                         .arg(node.line())
                                         .arg(decodeKeyTextUtf8(id), error.message()))};
            }
        }
        mIntake.add(id, options, hasChildren, texts[0], texts[1]);
    }

    PackContent finish(XmlDocument xml)
    {
        mIntake.finish();
        const XmlNode root = xml.root();
        mPack.info.project = root.attribute("project");
        mPack.info.name = root.attribute("name");
        mPack.info.lang = root.attribute("lang");
        mPack.info.version = root.attribute("version");
        mPack.info.date = root.attribute("date");
        std::vector<QString> &keys = mPack.keys;
        KeyList::sort(keys);
        // Equal names ignoring case stand together after sorting.
        bool shared = false;
        QSet<QString> listed;
        const auto note = [&](const QString &name) {
            if (!listed.contains(name)) {
                listed.insert(name);
                mPack.caseVariants.append(name);
            }
        };
        for (size_t i = 1; i < keys.size(); ++i) {
            const QString &prev = keys[i - 1];
            const QString &cur = keys[i];
            if (!mayEqualIgnoringCase(prev, cur) || !namesEqual(prev, cur))
                continue;
            shared = true;
            if (prev != cur) {
                note(prev);
                note(cur);
            }
        }
        // Each row has an entry of its own, so the translations filed count.
        if (!shared)
            mPack.translatedRows = mIntake.translated();
        mPack.xml = std::move(xml);
        return std::move(mPack);
    }

    XmlDocument::ContentHandler handler()
    {
        return [this](const StreamedElement &node) { element(node); };
    }

private:
    // Makes room for the keys a file of this size likely holds: lines are
    // only reserved, so a guess too high costs address space, not memory.
    void expect(qint64 fileSize)
    {
        const qsizetype keys = qsizetype(std::min<qint64>(fileSize / kBytesPerKey, kMaxExpected));
        KeyData &data = mPack.data;
        for (Hashlist *list : {&data.hashlistKeys, &data.hashlistHTML, &data.hashlistBreaks, &data.hashlistLinebreaks,
                 &data.hashlistComments})
            list->reserve(keys);
        mPack.keys.reserve(size_t(keys));
    }

    PackContent mPack;
    // Destroyed first, so its thread stops before the lists go.
    KeyIntake mIntake;
    bool mSeenKey = false;
};

Error inFile(const QString &name, const Error &error)
{
    return name.isEmpty() ? error : Error(QStringLiteral("Die Datei \"%1\", %2").arg(name, error.message()));
}

} // namespace

// The tree keeps everything but the inside of "content", which every write
// rebuilds from the model.
PackContent readPackFile(const QString &path, Progress *progress)
{
    PackReader reader(QFileInfo(path).size());
    try {
        return reader.finish(XmlDocument::parseFile(path, reader.handler(), progress));
    } catch (const KeyError &failure) {
        throw inFile(fileNameOf(path), failure.error);
    }
}

PackContent readPackData(const QByteArray &bytes, const QString &source)
{
    PackReader reader(bytes.size());
    try {
        return reader.finish(XmlDocument::parseData(bytes, source, reader.handler()));
    } catch (const KeyError &failure) {
        throw inFile(source, failure.error);
    }
}

namespace {

Error unwritable(const QString &where)
{
    return Error(QStringLiteral("%1 enthält ein Zeichen, das in einer XML-Datei nicht gespeichert "
                                "werden kann. Das Languagepack wurde nicht gespeichert")
                     .arg(where));
}

// Controls and lone surrogates as \uXXXX; a surrogate pair stays the
// character it makes.
QString printable(const QString &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            out += c;
            out += name.at(++i);
        } else if (c.unicode() < 0x20 || c.isSurrogate()) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

// The UTF-8 size of a text as the file holds it, exact only where it may
// exceed the limit: a character takes at most three bytes, nine once
// encoded as key text.
qsizetype storedSize(const QString &text, bool keyText)
{
    const qsizetype factor = keyText ? 9 : 3;
    if (text.size() <= XmlDocument::kMaxTextSize / factor)
        return FaultInjection::sized(text.size());
    return FaultInjection::sized((keyText ? encodeKeyText(text) : text).toUtf8().size());
}

Error tooLong(const QString &what, qsizetype size)
{
    return Error(QStringLiteral("%1 ist zu lang (%2 Bytes, höchstens %3 Bytes lassen sich wieder laden). "
                                "Das Languagepack wurde nicht gespeichert")
                     .arg(what)
                     .arg(size)
                     .arg(XmlDocument::kMaxTextSize));
}

// Where a key's lines stand in its five lists, in the order of kKeyFields;
// -1 where a list has none.
using KeyLines = std::array<qint32, 5>;

const QString &valueOf(const KeyData &data, KeyField field, qint32 pos)
{
    static const QString none;
    return pos < 0 ? none : data.list(field).valueAtPosition(pos);
}

// Refuses, before anything is written, a value the file could not be read
// back with; gives where each key's lines stand, for the writing.
std::vector<KeyLines> checkSizes(const std::pair<const char *, const QString *> (&attributes)[5],
    const std::vector<QString> &keys, const KeyData &data)
{
    for (const auto &[name, value] : attributes)
        if (const qsizetype size = storedSize(*value, false); size > XmlDocument::kMaxTextSize)
            throw tooLong(QStringLiteral("Der Wert \"%1\" des Languagepacks").arg(QLatin1String(name)), size);
    const char *const what[] = {"Die Übersetzung", "Der Kommentar", "Die Option encodeHTML",
        "Die Option preserveLinebreaks", "Die Option unixNewline"};
    std::vector<KeyLines> lines(keys.size(), KeyLines{-1, -1, -1, -1, -1});
    const auto fetch = [&](size_t, size_t hash) {
        for (const KeyField field : kKeyFields)
            data.list(field).prefetch(hash);
    };
    forEachFetched(
        0, keys.size(), [&](size_t i) -> const QString & { return keys[i]; }, fetch,
        [&](size_t i, size_t hash) {
            const QString &name = keys[i];
            if (name.isEmpty())
                return;
            const auto shown = [&] { return cutEcho(printable(name)); };
            if (const qsizetype size = storedSize(name, true); size > XmlDocument::kMaxTextSize)
                throw tooLong(QStringLiteral("Der Name des Schlüssels \"%1\"").arg(shown()), size);
            for (size_t f = 0; f < std::size(kKeyFields); ++f) {
                const KeyField field = kKeyFields[f];
                lines[i][f] = qint32(data.list(field).position(name, hash));
                const bool keyText = field == KeyField::Translation || field == KeyField::Comment;
                const qsizetype size = storedSize(valueOf(data, field, lines[i][f]), keyText);
                if (size > XmlDocument::kMaxTextSize)
                    throw tooLong(QStringLiteral("%1 des Schlüssels \"%2\"").arg(QString::fromUtf8(what[f]), shown()),
                        size);
            }
        });
    return lines;
}

} // namespace

void writePack(QIODevice &output, XmlDocument &xml, const InfoValues &info, const std::vector<QString> &keys,
    const KeyData &data)
{
    const std::pair<const char *, const QString *> attributes[] = {{"project", &info.project}, {"name", &info.name},
        {"lang", &info.lang}, {"version", &info.version}, {"date", &info.date}};
    for (const auto &[name, value] : attributes)
        if (!isXmlText(*value))
            throw unwritable(QStringLiteral("Der Wert \"%1\" des Languagepacks").arg(QLatin1String(name)));
    const std::vector<KeyLines> lines = checkSizes(attributes, keys, data);

    XmlNode root = xml.root();
    // A refused save leaves the tree as it was.
    std::vector<std::pair<const char *, std::optional<QString>>> before;
    for (const auto &[name, value] : attributes) {
        before.emplace_back(name, root.hasAttribute(name) ? std::optional(root.attribute(name)) : std::nullopt);
        root.setAttribute(name, *value);
    }
    const bool hadContent = !root.firstChildElement("content").isNull();
    if (!hadContent)
        root.appendChildElement("content");
    try {
        xml.write(output, [&](XmlDocument::ElementSink &sink) {
            for (size_t k = 0; k < keys.size(); ++k) {
                const QString &name = keys[k];
                if (name.isEmpty())
                    continue;
                const QString *texts[5];
                for (size_t f = 0; f < std::size(kKeyFields); ++f)
                    texts[f] = &valueOf(data, kKeyFields[f], lines[k][f]);
                const QString &value = *texts[0];
                const QString &comment = *texts[1];
                if (!isXmlText(name)
                    || !std::all_of(texts, texts + 5, [](const QString *text) { return isXmlText(*text); }))
                    throw unwritable(QStringLiteral("Der Schlüssel \"%1\"").arg(cutEcho(printable(name))));
                XmlDetached element = xml.createDetached("key");
                XmlNode key = element.node();
                key.setAttribute("id", encodeKeyText(name));
                for (int i = 0; i < 3; ++i)
                    key.setAttribute(kOptionAttributes[i], *texts[2 + i]);
                key.appendChildElement("value").setText(encodeKeyText(value));
                key.appendChildElement("comment").setText(encodeKeyText(comment));
                sink.add(std::move(element));
            }
        });
    } catch (...) {
        for (const auto &[name, value] : before) {
            if (value)
                root.setAttribute(name, *value);
            else
                root.removeAttribute(name);
        }
        if (!hadContent)
            root.firstChildElement("content").remove();
        throw;
    }
}

QString newPackTemplate(const InfoValues &info)
{
    // The values a new pack gets need no escaping; escaping anyway keeps any
    // other value from breaking the document.
    const auto v = [](const QString &value) { return value.toHtmlEscaped(); };
    return QStringLiteral("<languagepack name=\"") + v(info.name) + QStringLiteral("\" lang=\"") + v(info.lang)
        + QStringLiteral("\" version=\"") + v(info.version) + QStringLiteral("\" date=\"") + v(info.date)
        + QStringLiteral("\" project=\"") + v(info.project)
        + QStringLiteral("\"><info>Languagepack-Descricption</info><content></content></languagepack>");
}

QString caseVariantWarning(const QStringList &names)
{
    return QStringLiteral("Diese Schlüssel unterscheiden sich nur in der Groß-/Kleinschreibung und teilen sich daher "
                          "Übersetzung, Kommentar und Optionen; beim Speichern erhalten sie dieselben Texte: ")
        + names.join(QStringLiteral(", "));
}

} // namespace Wordloom
