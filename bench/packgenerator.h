#pragma once

#include <QByteArray>

namespace Wordloom {

// A pack file of the given size: mixed scripts, multi-line texts, comments
// and options, as a translator's pack has them.
QByteArray generatePack(int keys, unsigned seed = 1);

} // namespace Wordloom
