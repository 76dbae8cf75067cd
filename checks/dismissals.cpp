#include "checks/dismissals.h"

#include "document/error.h"

#include <QFile>
#include <QSaveFile>

namespace Wordloom {

namespace {

QString escaped(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (QChar c : key) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else
            out += c;
    }
    return out;
}

} // namespace

void Dismissals::load(const QString &path)
{
    mLines.clear();
    QFile file(path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Die Datei %1 kann nicht gelesen werden").arg(path));
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            mLines.insert(QString::fromUtf8(line.endsWith('\r') ? line.chopped(1) : line));
}

void Dismissals::save(const QString &path) const
{
    if (mLines.empty()) {
        QFile::remove(path);
        return;
    }
    QSaveFile file(path);
    QByteArray bytes;
    for (const QString &line : mLines)
        bytes += line.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Die Datei %1 kann nicht geschrieben werden").arg(path));
}

QString Dismissals::hashOf(const Finding &finding, const CheckedPack &pack, const CheckedPack *reference)
{
    if (finding.check->listCheck)
        return judgedTextsHash(CheckedText{finding.key}, nullptr);
    const CheckedText text = pack.text(finding.key);
    CheckedText theirs;
    if (reference)
        theirs = reference->text(finding.key);
    return judgedTextsHash(text, theirs.translation.isEmpty() ? nullptr : &theirs);
}

QString Dismissals::lineOf(const Finding &finding, const QString &hash)
{
    return QLatin1String(finding.check->id) + u'\t' + escaped(finding.key) + u'\t' + hash;
}

void Dismissals::dismiss(const Finding &finding, const QString &hash)
{
    mLines.insert(lineOf(finding, hash));
}

bool Dismissals::isDismissed(const Finding &finding, const QString &hash) const
{
    return mLines.count(lineOf(finding, hash)) > 0;
}

void Dismissals::filter(std::vector<Finding> &findings, const CheckedPack &pack, const CheckedPack *reference) const
{
    if (mLines.empty())
        return;
    std::erase_if(findings, [&](const Finding &f) { return isDismissed(f, hashOf(f, pack, reference)); });
}

} // namespace Wordloom
