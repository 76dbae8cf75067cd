#include "document/packstep.h"

#include "document/languagepack.h"
#include "document/workerpool.h"

#include <atomic>
#include <utility>

namespace Wordloom {

PackStep::PackStep(LanguagePack &pack, const QString &text, const QString &key)
    : QUndoCommand(text)
    , mPack(pack)
    , mKey(key)
{
    static std::atomic<quint64> made;
    mSerial = ++made;
}

void PackStep::redo()
{
    // The first redo comes from the push, after the step was recorded by
    // doing it.
    if (std::exchange(mApplied, false))
        return;
    mPack.replay(*this, true);
}

void PackStep::undo()
{
    mPack.replay(*this, false);
}

qint64 PackStep::size() const
{
    if (mSize >= 0)
        return mSize;
    qint64 &bytes = mSize;
    bytes = qint64(sizeof(*this)) + mInfoBefore.size() * 2 + mInfoAfter.size() * 2;
    for (const LineChange &line : *mLines)
        bytes += qint64(sizeof(line)) + 2 * (line.before.size() + line.after.size());
    for (const KeyChange &key : mKeys)
        bytes += qint64(sizeof(key)) + 2 * (key.name.size() + key.newName.size());
    return bytes;
}

void PackStep::release()
{
    // Freeing a million changes takes a while; a large step's go in the
    // background, the task holding the last reference its journal copy
    // does not.
    auto lines = std::exchange(mLines, std::make_shared<std::vector<LineChange>>());
    auto keys = std::make_shared<std::vector<KeyChange>>(std::move(mKeys));
    mKeys = std::vector<KeyChange>();
    if (lines->size() + keys->size() > 10000)
        workerPool().start([lines = std::move(lines), keys = std::move(keys)]() mutable {
            lines.reset();
            keys.reset();
        });
    mInfoRow = -1;
    mInfoBefore.clear();
    mInfoAfter.clear();
    mSize = -1;
}

} // namespace Wordloom
