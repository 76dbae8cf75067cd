#pragma once

#include <QFont>
#include <QStringList>

namespace Wordloom {

// Tahoma 11 px where installed, else a close sans-serif.
QFont interfaceFont();
// Courier New 13 px where installed, else a close fixed-pitch font.
QFont translationFont();
// A tool tip that shows its text as it stands, "<BR>" included.
QString plainToolTip(const QString &text);

} // namespace Wordloom
