// Loads a pack from arbitrary bytes as the editor and the command line do,
// and saves what loads.
#include "fuzz/packcheck.h"

#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // In TMPDIR; scripts/fuzz.sh points it at memory, as every save syncs.
    static const QTemporaryDir folder;
    // No copy: a read past the input's end is caught.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const QString fault = Wordloom::checkPackBytes(bytes, folder.path()); !fault.isEmpty()) {
        std::fprintf(stderr, "packreader: %s\n", qUtf8Printable(fault));
        std::abort();
    }
    return 0;
}
