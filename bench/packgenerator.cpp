#include "packgenerator.h"

#include "document/keytextcodec.h"

#include <QString>
#include <random>

namespace Wordloom {

namespace {

const char16_t *const kWords[] = {u"Datei", u"öffnen", u"Größe", u"Übersicht", u"speichern", u"Fenster", u"Ansicht",
    u"Einstellungen", u"Straße", u"Fehler", u"€uro", u"Ελληνικά", u"Привет", u"日本語", u"Hilfe", u"Werkzeug",
    u"Bearbeiten", u"Schließen", u"zurück", u"weiter"};

QString words(std::mt19937 &rng, int count)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i)
            text += (rng() % 9 == 0) ? QStringLiteral("\r\n") : QStringLiteral(" ");
        text += QString::fromUtf16(kWords[rng() % std::size(kWords)]);
    }
    return text;
}

QString escaped(const QString &text)
{
    QString out = text.toHtmlEscaped();
    out.replace(QLatin1Char('\r'), QStringLiteral("&#13;"));
    return out;
}

} // namespace

QByteArray generatePack(int keys, unsigned seed)
{
    std::mt19937 rng(seed);
    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<languagepack name=\"Bench\" lang=\"de\" version=\"1.0.0\" date=\"2026-01-01 00:00\" "
                                 "project=\"Wordloom\"><info>Benchmark</info><content>");
    for (int i = 0; i < keys; ++i) {
        const QString id = QStringLiteral("section%1.item%2.%3").arg(i % 97).arg(i).arg(words(rng, 1));
        xml += QStringLiteral("<key id=\"%1\" encodeHTML=\"%2\" preserveLinebreaks=\"%3\" unixNewline=\"%4\">"
                              "<value>%5</value><comment>%6</comment></key>")
                   .arg(escaped(encodeKeyText(id)), QString::number(rng() % 2), QString::number(rng() % 2),
                       QString::number(rng() % 2), escaped(encodeKeyText(words(rng, 8 + int(rng() % 40)))),
                       escaped(encodeKeyText(words(rng, int(rng() % 6)))));
    }
    xml += QStringLiteral("</content></languagepack>");
    return xml.toUtf8();
}

} // namespace Wordloom
