#include "document/packstep.h"

#include "document/languagepack.h"

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
    for (const LineChange &line : mLines)
        bytes += qint64(sizeof(line)) + 2 * (line.before.size() + line.after.size());
    for (const KeyChange &key : mKeys)
        bytes += qint64(sizeof(key)) + 2 * (key.name.size() + key.newName.size());
    return bytes;
}

void PackStep::release()
{
    std::vector<LineChange>().swap(mLines);
    std::vector<KeyChange>().swap(mKeys);
    mInfoRow = -1;
    mInfoBefore.clear();
    mInfoAfter.clear();
    mSize = -1;
}

} // namespace Wordloom
