#pragma once

// The property the pack reader keeps for any bytes, shared by the fuzz
// target and the regression test: a load yields a model or an Error with a
// message, and a pack that loads and is saved loads back the same.

#include "document/error.h"
#include "document/languagepack.h"
#include "document/packformat.h"

#include <QDir>
#include <QFile>

namespace Wordloom {

// What went wrong, or the empty text; folder takes the files of the save.
// Anything but Error escapes.
inline QString checkPackBytes(const QByteArray &bytes, const QString &folder)
{
    try {
        readPackData(bytes, QStringLiteral("fuzz.xml"));
    } catch (const Error &error) {
        return error.message().isEmpty() ? QStringLiteral("an error without a message") : QString();
    }
    const QString input = QDir(folder).filePath(QStringLiteral("input.xml"));
    const QString output = QDir(folder).filePath(QStringLiteral("output.xml"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QStringLiteral("cannot write ") + input;
    file.close();
    LanguagePack pack;
    try {
        pack.load(input);
    } catch (const Error &error) {
        return QStringLiteral("loads from memory but not from a file: ") + error.message();
    }
    try {
        pack.write(output, pack.info());
    } catch (const Error &error) {
        // Refused only for a character XML cannot carry.
        return error.message().contains(QStringLiteral("nicht gespeichert"))
            ? QString()
            : QStringLiteral("save: ") + error.message();
    }
    LanguagePack back;
    try {
        back.load(output);
    } catch (const Error &error) {
        return QStringLiteral("the saved pack does not load: ") + error.message();
    }
    if (!(back.info() == pack.info()))
        return QStringLiteral("info values differ after a save");
    if (back.keys().names() != pack.keys().names())
        return QStringLiteral("key list differs after a save");
    for (const QString &name : pack.keys().names()) {
        const KeyEntry a = pack.entry(name), b = back.entry(name);
        if (a.translation != b.translation || a.comment != b.comment || a.encodeHTML != b.encodeHTML
            || a.preserveLinebreaks != b.preserveLinebreaks || a.unixNewline != b.unixNewline)
            return QStringLiteral("entry of key \"%1\" differs after a save").arg(name);
    }
    return QString();
}

} // namespace Wordloom
