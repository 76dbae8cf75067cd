#include "document/packformat.h"

#include "document/error.h"
#include "document/keylist.h"
#include "document/keytextcodec.h"

#include <optional>

namespace Wordloom {

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

// Option values are nearly always "1" or "0"; share one copy of each.
QString internOption(QString value)
{
    static const QString one = QStringLiteral("1");
    static const QString zero = QStringLiteral("0");
    if (value == one)
        return one;
    if (value == zero)
        return zero;
    return value;
}

QString readKeyText(const XmlNode &key, const char *element)
{
    return normalizeLineBreaks(decodeKeyTextUtf8(key.firstChildElement(element).rawText()));
}

} // namespace

PackContent readPack(XmlDocument xml)
{
    PackContent pack;
    const XmlNode root = xml.root();
    pack.info.project = root.attribute("project");
    pack.info.name = root.attribute("name");
    pack.info.lang = root.attribute("lang");
    pack.info.version = root.attribute("version");
    pack.info.date = root.attribute("date");

    KeyData &data = pack.data;
    Hashlist *const options[] = {&data.hashlistHTML, &data.hashlistBreaks, &data.hashlistLinebreaks};
    XmlNode content = root.firstChildElement("content");
    XmlNode node = content.firstChildElement("key");
    while (!node.isNull()) {
        XmlNode current = node;
        node = node.nextSibling();
        if (!current.hasAttribute("id"))
            continue;
        const QString id = decodeKeyTextUtf8(current.rawAttribute("id"));
        if (id.isEmpty())
            continue;
        for (int i = 0; i < 3; ++i)
            if (current.hasAttribute(kOptionAttributes[i]))
                options[i]->setValue(id, internOption(current.attribute(kOptionAttributes[i])));
        if (!current.hasChildNodes())
            continue;
        try {
            data.hashlistKeys.setValue(id, readKeyText(current, "value"));
            data.hashlistComments.setValue(id, readKeyText(current, "comment"));
        } catch (const Error &error) {
            throw Error(QStringLiteral("Zeile %1, Schlüssel \"%2\": %3").arg(current.line()).arg(id, error.message()));
        }
        pack.keys.push_back(id);
        // Every write rebuilds the content, so the key's nodes are not needed
        // any more; freeing them now keeps the peak memory of a load low.
        current.remove();
    }

    KeyList::sort(pack.keys);
    // Equal names ignoring case stand together after sorting.
    for (size_t i = 1; i < pack.keys.size(); ++i) {
        const QString &prev = pack.keys[i - 1];
        const QString &cur = pack.keys[i];
        if (prev != cur && namesEqual(prev, cur)) {
            if (!pack.caseVariants.contains(prev))
                pack.caseVariants.append(prev);
            pack.caseVariants.append(cur);
        }
    }
    pack.xml = std::move(xml);
    return pack;
}

PackContent readPackFile(const QString &path)
{
    XmlDocument xml = XmlDocument::parseFile(path);
    try {
        return readPack(std::move(xml));
    } catch (const Error &error) {
        throw Error(QStringLiteral("Die Datei \"%1\", %2").arg(fileNameOf(path), error.message()));
    }
}

PackContent readPackData(const QByteArray &bytes, const QString &source)
{
    XmlDocument xml = XmlDocument::parseData(bytes, source);
    try {
        return readPack(std::move(xml));
    } catch (const Error &error) {
        if (source.isEmpty())
            throw;
        throw Error(QStringLiteral("Die Datei \"%1\", %2").arg(source, error.message()));
    }
}

namespace {

Error unwritable(const QString &where)
{
    return Error(QStringLiteral("%1 enthält ein Zeichen, das in einer XML-Datei nicht gespeichert "
                                "werden kann. Das Languagepack wurde nicht gespeichert")
                     .arg(where));
}

QString printable(const QString &name)
{
    QString out;
    for (QChar c : name)
        out += (c.unicode() < 0x20 || c.isSurrogate()) ? QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')) : QString(c);
    return out;
}

} // namespace

void writePack(XmlDocument &xml, const InfoValues &info, const std::vector<QString> &keys,
    const KeyData &data)
{
    const std::pair<const char *, const QString *> attributes[] = {
        {"project", &info.project}, {"name", &info.name}, {"lang", &info.lang},
        {"version", &info.version}, {"date", &info.date}};
    for (const auto &[name, value] : attributes)
        if (!isXmlText(*value))
            throw unwritable(QStringLiteral("Der Wert \"%1\" des Languagepacks").arg(QLatin1String(name)));

    // The new content is built apart from the tree, so a refused save leaves
    // the tree as it was.
    const XmlDetached fresh = xml.createDetached("content");
    for (const QString &name : keys) {
        if (name.isEmpty())
            continue;
        const QString value = data.hashlistKeys.value(name);
        const QString comment = data.hashlistComments.value(name);
        const QString options[] = {data.hashlistHTML.value(name), data.hashlistBreaks.value(name),
            data.hashlistLinebreaks.value(name)};
        if (!isXmlText(name) || !isXmlText(value) || !isXmlText(comment) || !isXmlText(options[0])
            || !isXmlText(options[1]) || !isXmlText(options[2]))
            throw unwritable(QStringLiteral("Der Schlüssel \"%1\"").arg(printable(name)));
        XmlNode key = fresh.node().appendChildElement("key");
        key.setAttribute("id", encodeKeyText(name));
        for (int i = 0; i < 3; ++i)
            key.setAttribute(kOptionAttributes[i], options[i]);
        key.appendChildElement("value").setText(encodeKeyText(value));
        key.appendChildElement("comment").setText(encodeKeyText(comment));
    }

    XmlNode root = xml.root();
    for (const auto &[name, value] : attributes)
        root.setAttribute(name, *value);
    XmlNode content = root.firstChildElement("content");
    if (content.isNull())
        content = root.appendChildElement("content");
    content.removeChildren();
    content.takeChildren(fresh.node());
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

namespace {

// A signed 32-bit number: leading blanks, one sign, then decimal digits or,
// after "$", "x", "X", "0x" or "0X", hexadecimal digits taken as a 32-bit
// pattern; nothing may follow the digits.
std::optional<qint32> toInt32(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == QLatin1Char('$') || text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == QLatin1Char('0')
        && (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;
    quint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > (base == 16 ? 0xFFFFFFFFULL : 0x80000000ULL))
            return std::nullopt;
    }
    if (base == 16) {
        const qint32 pattern = qint32(quint32(value));
        return negative ? qint32(0u - quint32(pattern)) : pattern;
    }
    if (!negative && value > 0x7FFFFFFFULL)
        return std::nullopt;
    return negative ? qint32(-qint64(value)) : qint32(value);
}

} // namespace

QString bumpVersion(const QString &version)
{
    QStringView first, second, third;
    const qsizetype dot = version.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        first = QStringView(version).left(dot);
        const QStringView rest = QStringView(version).mid(dot + 1);
        const qsizetype dot2 = rest.indexOf(QLatin1Char('.'));
        if (dot2 >= 0) {
            second = rest.left(dot2);
            third = rest.mid(dot2 + 1);
        } else {
            second = rest;
        }
    }
    // The raise is done in 64 bits, so the largest part still goes up by one.
    const qint64 raised = qint64(toInt32(third).value_or(0)) + 1;
    return QStringLiteral("%1.%2.%3").arg(toInt32(first).value_or(0)).arg(toInt32(second).value_or(0)).arg(raised);
}

QString formatDateStamp(const QDate &date, const QTime &time)
{
    const auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    return QString::number(date.year()) + QLatin1Char('-') + two(date.month()) + QLatin1Char('-')
        + two(date.day()) + QLatin1Char(' ') + two(time.hour()) + QLatin1Char(':') + two(time.minute());
}

QString fileNameOf(const QString &path)
{
    qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    slash = std::max(slash, path.lastIndexOf(QLatin1Char('\\')));
#endif
    return slash < 0 ? QString() : path.mid(slash + 1);
}

} // namespace Wordloom
