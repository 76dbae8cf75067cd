#include "document/languagepack.h"

#include "document/error.h"

#include <QDir>
#include <QSaveFile>

namespace Wordloom {

LanguagePack::LanguagePack() = default;

InfoValues LanguagePack::infoValues() const
{
    return InfoValues{packProject, packName, packLang, packVersion, packDate};
}

void LanguagePack::setInfoValues(const InfoValues &info)
{
    packProject = info.project;
    packName = info.name;
    packLang = info.lang;
    packVersion = info.version;
    packDate = info.date;
}

LanguagePack::State LanguagePack::state() const
{
    if (mXml.isNull())
        return State::NeverOpened;
    return mXml.hasRoot() ? State::Open : State::Empty;
}

QStringList LanguagePack::load(const QString &path)
{
    PackContent pack = readPackFile(path);
    mXml = std::move(pack.xml);
    mKeys.assign(std::move(pack.keys));
    data.swap(pack.data);
    setInfoValues(pack.info);
    packPath = path;
    packFileName = fileNameOf(path);
    return pack.caseVariants;
}

void LanguagePack::create(const InfoValues &info)
{
    XmlDocument xml = XmlDocument::parseText(newPackTemplate(info));
    setInfoValues(info);
    mKeys.clear();
    data.clear();
    packPath.clear();
    mXml = std::move(xml);
}

void LanguagePack::close()
{
    mKeys.clear();
    data.clear();
    mXml = XmlDocument::createEmpty();
    packPath.clear();
    setInfoValues(InfoValues());
}

void LanguagePack::write(const QString &path, const InfoValues &info)
{
    writePack(mXml, info, mKeys.names(), data);
    const QByteArray bytes = mXml.serialize();
    QSaveFile file(path);
    const auto fail = [&] {
        return Error(QStringLiteral("Die Datei \"%1\" konnte nicht gespeichert werden: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString()));
    };
    // Unbuffered, so a short write (a full disk) shows at once and is never
    // committed as a truncated file.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw fail();
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const Error error = fail();
            file.cancelWriting();
            throw error;
        }
        done += written;
    }
    if (!file.commit())
        throw fail();
    packPath = path;
    packFileName = fileNameOf(path);
}

} // namespace Wordloom
