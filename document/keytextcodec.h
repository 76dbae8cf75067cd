#pragma once

#include <QString>

namespace Wordloom {

// The key text encoding of the pack format: the UTF-8 bytes of a text, each
// byte shown as its Windows-1252 character (0x81, 0x8D, 0x8F, 0x90 and 0x9D
// map to the C1 controls of the same number, as Windows maps them).
QString encodeKeyText(const QString &text);
// Reverses encodeKeyText for a stored text given in UTF-8, as the XML layer
// holds it. A text that does not decode (a character outside the table, or
// bytes that are not UTF-8) is returned as it stands.
QString decodeKeyTextUtf8(QByteArrayView utf8);
// The same, with every line break made CR LF on the way.
QString decodeKeyText(QByteArrayView utf8, bool lineBreaks);

// UTF-8 to text, keeping a leading U+FEFF that QString::fromUtf8 would drop.
QString textFromUtf8(QByteArrayView utf8);

// Makes every line break (CR LF, lone CR, lone LF) a CR LF.
QString normalizeLineBreaks(const QString &text);

} // namespace Wordloom
