// The key text codec on arbitrary stored texts: decoding, encoding and
// decoding again gives the first decoded text; line breaks settle at CR LF.
#include "document/keytextcodec.h"

#include <QByteArrayView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Wordloom;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView stored(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString decoded = decodeKeyTextUtf8(stored);
    const QString again = decodeKeyTextUtf8(encodeKeyText(decoded).toUtf8());
    if (again != decoded) {
        std::fprintf(stderr, "keytextcodec: decode(encode(decode(x))) differs: '%s' vs '%s'\n", qUtf8Printable(decoded),
            qUtf8Printable(again));
        std::abort();
    }
    const QString lines = normalizeLineBreaks(decoded);
    if (normalizeLineBreaks(lines) != lines || lines.count(QLatin1Char('\r')) != lines.count(QLatin1Char('\n'))) {
        std::fprintf(stderr, "keytextcodec: line breaks not settled\n");
        std::abort();
    }
    return 0;
}
