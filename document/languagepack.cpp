#include "document/languagepack.h"

#include "document/error.h"
#include "document/packfile.h"
#include "document/progress.h"
#include "document/workerpool.h"

#include <QDir>

namespace Wordloom {

namespace {

// The five lists and the entry's fields that they hold, in the order a
// commit writes them.
template <typename Data, typename Entry, typename F> void forEachList(Data &data, Entry &entry, F f)
{
    f(data.hashlistKeys, entry.translation);
    f(data.hashlistComments, entry.comment);
    f(data.hashlistHTML, entry.encodeHTML);
    f(data.hashlistBreaks, entry.preserveLinebreaks);
    f(data.hashlistLinebreaks, entry.unixNewline);
}

} // namespace

bool KeyEntry::isEmpty() const
{
    const QString on = QStringLiteral("1");
    return translation.isEmpty() && comment.isEmpty() && encodeHTML != on && preserveLinebreaks != on
        && unixNewline != on;
}

LanguagePack::LanguagePack() = default;
LanguagePack::~LanguagePack() = default;

void LanguagePack::setSaved(bool saved)
{
    if (mSaved == saved)
        return;
    mSaved = saved;
    emit savedChanged(saved);
}

LanguagePack::State LanguagePack::state() const
{
    if (mXml.isNull())
        return State::NeverOpened;
    return mXml.hasRoot() ? State::Open : State::Empty;
}

QStringList LanguagePack::load(const QString &path)
{
    return adopt(read(path), path);
}

PackContent LanguagePack::read(const QString &path, Progress *progress)
{
    return readPackFile(path, progress);
}

QStringList LanguagePack::adopt(PackContent pack, const QString &path)
{
    // The pack takes the new content, and the content the old pack.
    std::swap(mXml, pack.xml);
    pack.keys = mKeys.assign(std::move(pack.keys));
    mData.swap(pack.data);
    mInfo = pack.info;
    mPath = path;
    mFileName = fileNameOf(path);
    markSaved();
    const QStringList caseVariants = std::move(pack.caseVariants);
    // Freeing a large old pack takes a while; it is done in the background.
    // The task holds the only reference, so the last one goes there.
    if (pack.keys.size() > 10000)
        workerPool().start(
            [old = std::make_shared<PackContent>(std::move(pack))]() mutable { old.reset(); });
    return caseVariants;
}

void LanguagePack::create(const InfoValues &info)
{
    XmlDocument xml = XmlDocument::parseText(newPackTemplate(info));
    mInfo = info;
    mKeys.clear();
    mData.clear();
    mPath.clear();
    mXml = std::move(xml);
    markModified();
}

void LanguagePack::close()
{
    mKeys.clear();
    mData.clear();
    mXml = XmlDocument::createEmpty();
    mPath.clear();
    mInfo = InfoValues();
    markSaved();
}

namespace {

// Passes writes on to the file, counting them, and fails them once the
// progress is cancelled.
class CountingDevice : public QIODevice {
public:
    CountingDevice(QIODevice &target, Progress *progress) : mTarget(target), mProgress(progress)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 length) override
    {
        if (mProgress && mProgress->cancelled)
            return -1;
        const qint64 written = mTarget.write(data, length);
        if (mProgress && written > 0)
            mProgress->done += written;
        return written;
    }

private:
    QIODevice &mTarget;
    Progress *mProgress;
};

} // namespace

void LanguagePack::write(const QString &path, const InfoValues &info)
{
    writeFile(path, info);
    markWritten(path);
}

void LanguagePack::markWritten(const QString &path)
{
    mPath = path;
    mFileName = fileNameOf(path);
    markSaved();
}

void LanguagePack::writeFile(const QString &path, const InfoValues &info, Progress *progress)
{
    PackFile file(path);
    file.start();
    try {
        CountingDevice counted(file, progress);
        writePack(counted, mXml, info, mKeys.names(), mData);
    } catch (const Error &) {
        file.cancel();
        if (progress && progress->cancelled)
            throw Cancelled();
        if (file.hasFailed())
            throw file.failure();
        throw;
    }
    file.commit();
}

KeyEntry LanguagePack::entry(const QString &name) const
{
    KeyEntry entry;
    const size_t hash = nameHash(name);
    forEachList(mData, entry, [&](const Hashlist &list, QString &field) { field = list.value(name, hash); });
    return entry;
}

qsizetype LanguagePack::commit(const QString &name, const KeyEntry &entry)
{
    qsizetype row = -1;
    if (!entry.isEmpty() && state() == State::Open && mKeys.find(name) < 0)
        row = mKeys.insert(name);
    const size_t hash = nameHash(name);
    forEachList(mData, entry, [&](Hashlist &list, const QString &field) { list.setValue(name, field, hash); });
    markModified();
    return row;
}

qsizetype LanguagePack::addKey(const QString &name)
{
    const qsizetype row = mKeys.insert(name);
    markModified();
    return row;
}

void LanguagePack::dropKey(const QString &name, qsizetype row)
{
    removeEntry(name);
    if (row >= 0)
        mKeys.removeAt(row);
    markModified();
}

void LanguagePack::removeEntry(const QString &name)
{
    const KeyEntry none;
    const size_t hash = nameHash(name);
    forEachList(mData, none, [&](Hashlist &list, const QString &) { list.remove(name, hash); });
}

qsizetype LanguagePack::renameKey(const QString &oldName, qsizetype row, const QString &newName, const QString &translation)
{
    // Renaming onto another key would merge the two; the same key in another
    // letter case is fine.
    if (!namesEqual(oldName, newName) && mKeys.find(newName) >= 0)
        return -1;
    KeyEntry carried = entry(oldName);
    carried.translation = translation;
    removeEntry(oldName);
    const qsizetype newRow = row >= 0 ? mKeys.rename(row, newName) : mKeys.insert(newName);
    markModified();
    const size_t hash = nameHash(newName);
    forEachList(mData, carried, [&](Hashlist &list, const QString &field) { list.setValue(newName, field, hash); });
    return newRow;
}

} // namespace Wordloom
