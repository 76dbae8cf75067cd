#include "document/languagepack.h"

#include "document/batchindexupdate.h"
#include "document/error.h"
#include "document/fetchahead.h"
#include "document/packfile.h"
#include "document/progress.h"
#include "document/workerpool.h"

#include <QDir>

#include <algorithm>

namespace Wordloom {

namespace {

// How many of the names have a line in the list; the look-ups are fetched
// ahead, for many names in two halves at once.
qsizetype translatedRowsAmong(const std::vector<QString> &names, const Hashlist &list)
{
    qsizetype found[2] = {0, 0};
    const auto count = [&](int side) {
        const size_t half = names.size() / 2;
        const size_t from = side == 0 ? 0 : half;
        const size_t to = side == 0 ? half : names.size();
        forEachFetched(
            from, to, [&](size_t i) -> const QString & { return names[i]; },
            [&](size_t, size_t hash) { list.prefetch(hash); },
            [&](size_t i, size_t hash) { found[side] += list.position(names[i], hash) >= 0; });
    };
    if (names.size() < 8192) {
        count(0);
        count(1);
    } else {
        runSideBySide([&] { count(0); }, [&] { count(1); });
    }
    return found[0] + found[1];
}

} // namespace

bool KeyEntry::isEmpty() const
{
    const QString on = QStringLiteral("1");
    return translation.isEmpty() && comment.isEmpty() && encodeHTML != on && preserveLinebreaks != on
        && unixNewline != on;
}

QString &KeyEntry::field(KeyField field)
{
    switch (field) {
    case KeyField::Translation: return translation;
    case KeyField::Comment: return comment;
    case KeyField::EncodeHTML: return encodeHTML;
    case KeyField::PreserveLinebreaks: return preserveLinebreaks;
    case KeyField::UnixNewline: break;
    }
    return unixNewline;
}

LanguagePack::LanguagePack()
{
    // Removed lines keep their places, so undo puts them back there.
    for (KeyField field : kKeyFields)
        mData.list(field).setKeepRemoved(true);
    connect(&mHistory, &QUndoStack::cleanChanged, this, &LanguagePack::updateModified);
}

LanguagePack::~LanguagePack() = default;

QString &LanguagePack::infoField(InfoValues &info, int row)
{
    QString *const fields[] = {&info.project, &info.name, &info.lang, &info.version, &info.date};
    return *fields[std::clamp(row, 0, 4)];
}

void LanguagePack::setInfoValue(int row, const QString &value)
{
    infoField(mInfo, row) = value;
    emit infoChanged(row);
}

void LanguagePack::editInfoValue(int row, const QString &value)
{
    QString &field = infoField(mInfo, row);
    if (field == value)
        return;
    // Without a pack there is no history to add to.
    if (state() != State::Open) {
        field = value;
        return;
    }
    static const char *const names[] = {"Projekt", "Name", "Sprache", "Version", "letzte Änderung"};
    beginStep(QStringLiteral("„%1“ ändern").arg(QString::fromUtf8(names[std::clamp(row, 0, 4)])), QString());
    mRecording->mInfoRow = row;
    mRecording->mInfoBefore = std::exchange(field, value);
    mRecording->mInfoAfter = value;
    endStep();
}

void LanguagePack::updateModified()
{
    const bool modified = isModified();
    if (modified == mWasModified)
        return;
    mWasModified = modified;
    emit modifiedChanged(modified);
}

void LanguagePack::resetHistory(bool unwritten, qsizetype translatedRows)
{
    mHistory.clear();
    mUndoFloor = 0;
    mHistoryBytes = 0;
    mUnwritten = unwritten;
    mTranslatedRows = translatedRows;
    mWrittenVersion = mInfo.version;
    updateModified();
    emit historyReset();
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

void LanguagePack::countTranslations(PackContent &content)
{
    if (content.translatedRows < 0)
        content.translatedRows = translatedRowsAmong(content.keys, content.data.hashlistKeys);
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
    resetHistory(false, pack.translatedRows);
    QStringList caseVariants = std::move(pack.caseVariants);
    // Freeing a large old pack takes a while; it is done in the background.
    // The task holds the only reference, so the last one goes there.
    if (pack.keys.size() > 10000)
        workerPool().start([old = std::make_shared<PackContent>(std::move(pack))]() mutable { old.reset(); });
    return caseVariants;
}

void LanguagePack::create(const InfoValues &info)
{
    XmlDocument xml = XmlDocument::parseText(newPackTemplate(info));
    mInfo = info;
    mKeys.clear();
    mData.clear();
    mPath.clear();
    mFileName.clear();
    mXml = std::move(xml);
    resetHistory(true);
}

void LanguagePack::close()
{
    mKeys.clear();
    mData.clear();
    mXml = XmlDocument::createEmpty();
    mPath.clear();
    mFileName.clear();
    mInfo = InfoValues();
    resetHistory(false);
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
    mWrittenVersion = mInfo.version;
    mUnwritten = false;
    mHistory.setClean();
    updateModified();
    emit written();
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

void LanguagePack::writeTo(QIODevice &device, const InfoValues &info)
{
    writePack(device, mXml, info, mKeys.names(), mData);
}

KeyEntry LanguagePack::entry(const QString &name) const
{
    KeyEntry entry;
    const size_t hash = nameHash(name);
    for (KeyField field : kKeyFields)
        entry.field(field) = mData.list(field).value(name, hash);
    return entry;
}

qsizetype LanguagePack::commit(const QString &name, const KeyEntry &entry)
{
    beginStep(QString(), name);
    qsizetype row = -1;
    if (!entry.isEmpty() && state() == State::Open && mKeys.find(name) < 0)
        row = insertKey(name);
    storeEntry(name, entry);
    // The step is named after the first field it changed.
    const auto &lines = *mRecording->mLines;
    const char *what = lines.empty() || lines.front().field == KeyField::Translation ? "Übersetzung"
        : lines.front().field == KeyField::Comment                                   ? "Kommentar"
                                                                                     : "Optionen";
    mRecording->setText(QStringLiteral("%1 von „%2“").arg(QString::fromUtf8(what), name));
    endStep();
    return row;
}

qsizetype LanguagePack::addKey(const QString &name)
{
    beginStep(QStringLiteral("Schlüssel „%1“ anlegen").arg(name), name);
    const qsizetype row = insertKey(name);
    endStep();
    return row;
}

void LanguagePack::dropKey(const QString &name, qsizetype row)
{
    beginStep(QStringLiteral("Schlüssel „%1“ löschen").arg(name), name);
    storeEntry(name, KeyEntry());
    if (row >= 0)
        removeKey(row);
    endStep();
}

qsizetype LanguagePack::renameKey(const QString &oldName, qsizetype row, const QString &newName,
    const QString &translation)
{
    // Renaming onto another key would merge the two; the same key in another
    // letter case is fine.
    if (!namesEqual(oldName, newName) && mKeys.find(newName) >= 0)
        return -1;
    KeyEntry carried = entry(oldName);
    carried.translation = translation;
    beginStep(QStringLiteral("Schlüssel „%1“ in „%2“ umbenennen").arg(oldName, newName), newName);
    storeEntry(oldName, KeyEntry());
    const qsizetype newRow = row >= 0 ? renameRow(row, newName) : insertKey(newName);
    storeEntry(newName, carried);
    endStep();
    return newRow;
}

qsizetype LanguagePack::addKeys(const QString &text, const std::vector<std::pair<QString, KeyEntry>> &keys)
{
    // The names not listed yet, each once ignoring case (the first given
    // wins), merged into the list in one pass.
    // Keyed once, compared exactly: the order of compareNames, and cheap.
    struct Fresh {
        QString folded;
        const std::pair<QString, KeyEntry> *key;
    };
    std::vector<Fresh> given;
    given.reserve(keys.size());
    for (const auto &key : keys)
        given.push_back({nameKey(key.first), &key});
    std::stable_sort(given.begin(), given.end(), [](const Fresh &a, const Fresh &b) { return a.folded < b.folded; });
    given.erase(
        std::unique(given.begin(), given.end(), [](const Fresh &a, const Fresh &b) { return a.folded == b.folded; }),
        given.end());
    std::vector<const std::pair<QString, KeyEntry> *> fresh;
    fresh.reserve(given.size());
    if (given.size() < size_t(mKeys.count()) / 64) {
        for (const Fresh &f : given)
            if (mKeys.find(f.key->first) < 0)
                fresh.push_back(f.key);
    } else {
        // Many names: one walk over the list instead of a search for each.
        qsizetype row = 0;
        QString listed;
        for (const Fresh &f : given) {
            while (row < mKeys.count() && (listed = nameKey(mKeys.at(row))) < f.folded)
                ++row;
            if (row == mKeys.count() || listed != f.folded)
                fresh.push_back(f.key);
        }
    }
    beginStep(text, keys.empty() ? QString() : keys.front().first);
    std::vector<QString> names;
    names.reserve(fresh.size());
    for (const auto *key : fresh)
        names.push_back(key->first);
    const std::vector<qsizetype> rows = mKeys.insertSorted(names);
    mRecording->mKeys.reserve(rows.size());
    mRecording->mLines->reserve(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        countRow(names[k], 1);
        mRecording->mKeys.push_back({PackStep::KeyChange::Kind::Insert, rows[k], rows[k], names[k], QString()});
    }
    BatchIndexUpdate indexes(mData, fresh.size() * std::size(kKeyFields));
    for (const auto *key : fresh)
        storeEntry(key->first, key->second);
    indexes.finish(*mRecording->mLines);
    endStep();
    return qsizetype(fresh.size());
}

void LanguagePack::changeMany(const QString &text, const std::vector<FieldChange> &changes)
{
    beginStep(text, changes.empty() ? QString() : changes.front().name);
    mRecording->mLines->reserve(changes.size());
    BatchIndexUpdate indexes(mData, changes.size());
    forEachFetched(
        0, changes.size(), [&](size_t i) -> const QString & { return changes[i].name; },
        [&](size_t i, size_t hash) { mData.list(changes[i].field).prefetch(hash); },
        [&](size_t i, size_t hash) { setLine(changes[i].field, changes[i].name, changes[i].value, hash); });
    indexes.finish(*mRecording->mLines);
    endStep();
}

// Recording.

void LanguagePack::beginStep(const QString &text, const QString &key)
{
    mRecording = std::make_unique<PackStep>(*this, text, key);
}

void LanguagePack::endStep(bool evenEmpty)
{
    std::unique_ptr<PackStep> step = std::move(mRecording);
    if (step->isEmpty() && !evenEmpty)
        return;
    // The push drops the steps that were undone; released first, a large
    // one's changes are freed in the background.
    for (int i = mHistory.index(); i < mHistory.count(); ++i) {
        auto *undone = const_cast<PackStep *>(static_cast<const PackStep *>(mHistory.command(i)));
        mHistoryBytes -= undone->size();
        undone->release();
    }
    mHistoryBytes += step->size();
    PackStep *pushed = step.release();
    mHistory.push(pushed);
    trimHistory();
    updateModified();
    emit stepDone(*pushed);
}

void LanguagePack::trimHistory()
{
    // The newest step always stays, whatever its size.
    while (mHistoryBytes > mHistoryBudget && mUndoFloor < mHistory.index() - 1) {
        auto *oldest = const_cast<PackStep *>(static_cast<const PackStep *>(mHistory.command(mUndoFloor)));
        mHistoryBytes -= oldest->size();
        oldest->release();
        ++mUndoFloor;
    }
}

void LanguagePack::storeEntry(const QString &name, const KeyEntry &entry)
{
    const size_t hash = nameHash(name);
    for (KeyField field : kKeyFields)
        setLine(field, name, entry.field(field), hash);
}

void LanguagePack::setLine(KeyField field, const QString &name, const QString &value, size_t hash, qsizetype revive)
{
    Hashlist &list = mData.list(field);
    const qsizetype pos = list.position(name, hash);
    PackStep::LineChange change;
    if (pos >= 0) {
        change.oldName = list.lineName(qint32(pos));
        change.before = list.valueAtPosition(pos);
        if (change.before == value && change.oldName == name)
            return;
    } else if (value.isEmpty()) {
        return;
    }
    change.name = name;
    change.after = value;
    change.hash = hash;
    change.field = field;
    if (field == KeyField::Translation && change.before.isEmpty() != value.isEmpty())
        countTranslation(name, value.isEmpty() ? -1 : 1);
    if (pos >= 0 && !value.isEmpty() && change.oldName == name) {
        list.setValueAtPosition(pos, value);
        change.pos = pos;
    } else {
        change.pos
            = pos < 0 && revive >= 0 ? list.restore(revive, name, value, hash) : list.setValue(name, value, hash);
    }
    mRecording->mLines->push_back(std::move(change));
}

qsizetype LanguagePack::insertKey(const QString &name)
{
    const qsizetype row = mKeys.insert(name);
    countRow(name, 1);
    mRecording->mKeys.push_back({PackStep::KeyChange::Kind::Insert, row, row, name, QString()});
    return row;
}

void LanguagePack::removeKey(qsizetype row)
{
    const QString name = mKeys.at(row);
    countRow(name, -1);
    mKeys.removeAt(row);
    mRecording->mKeys.push_back({PackStep::KeyChange::Kind::Remove, row, row, name, QString()});
}

qsizetype LanguagePack::renameRow(qsizetype row, const QString &name)
{
    const QString oldName = mKeys.at(row);
    countRow(oldName, -1);
    const qsizetype newRow = mKeys.rename(row, name);
    countRow(name, 1);
    mRecording->mKeys.push_back({PackStep::KeyChange::Kind::Rename, row, newRow, oldName, name});
    return newRow;
}

// Counting translated rows.

qsizetype LanguagePack::untranslatedCount() const
{
    if (mTranslatedRows < 0)
        mTranslatedRows = translatedRowsAmong(mKeys.names(), mData.hashlistKeys);
    return mKeys.count() - mTranslatedRows;
}

qsizetype LanguagePack::translatedRowsOf(QStringList names) const
{
    // Each name once, ignoring case, as rows equal ignoring case share a line.
    for (QString &name : names)
        name = nameKey(name);
    names.removeDuplicates();
    qsizetype rows = 0;
    for (const QString &name : names) {
        if (!mData.hashlistKeys.contains(name))
            continue;
        rows += mKeys.equalRows(name);
    }
    return rows;
}

void LanguagePack::countTranslation(const QString &name, int sign)
{
    if (mTranslatedRows < 0)
        return;
    // Rows equal ignoring case share the line.
    mTranslatedRows += sign * mKeys.equalRows(name);
}

void LanguagePack::countRow(const QString &name, int sign)
{
    if (mTranslatedRows >= 0 && mData.hashlistKeys.contains(name))
        mTranslatedRows += sign;
}

} // namespace Wordloom
