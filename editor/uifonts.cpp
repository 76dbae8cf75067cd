#include "editor/uifonts.h"

#include <QTextDocument>

namespace Wordloom {

QFont interfaceFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

QFont translationFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    return font;
}

QString plainToolTip(const QString &text)
{
    // Tool tips take text that looks like markup as rich text.
    return Qt::mightBeRichText(text) ? QStringLiteral("<qt>") + text.toHtmlEscaped() + QStringLiteral("</qt>") : text;
}

} // namespace Wordloom
