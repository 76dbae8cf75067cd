#include "document/hashlistvalues.h"

namespace Wordloom {

int HashlistValues::codeOf(const QString &value)
{
    if (value.isEmpty())
        return 0;
    for (int code = 1; code < mSharedCount; ++code)
        if (mShared[size_t(code)] == value)
            return code;
    if (mSharedCount == kShared)
        return -1;
    mShared[size_t(mSharedCount)] = value;
    return mSharedCount++;
}

void HashlistValues::makePlain()
{
    std::vector<QString> texts;
    texts.reserve(mCodes.capacity());
    for (const quint8 code : mCodes)
        texts.push_back(mShared[code]);
    mTexts.swap(texts);
    std::vector<quint8>().swap(mCodes);
    mPlain = true;
}

void HashlistValues::append(const QString &value)
{
    if (!mPlain) {
        if (const int code = codeOf(value); code >= 0) {
            mCodes.push_back(quint8(code));
            return;
        }
        makePlain();
    }
    mTexts.push_back(value);
}

void HashlistValues::set(size_t pos, const QString &value)
{
    if (!mPlain) {
        if (const int code = codeOf(value); code >= 0) {
            mCodes[pos] = quint8(code);
            return;
        }
        makePlain();
    }
    mTexts[pos] = value;
}

void HashlistValues::reserve(size_t positions)
{
    if (mPlain)
        mTexts.reserve(positions);
    else
        mCodes.reserve(positions);
}

void HashlistValues::compact(const std::vector<qint32> &moved, size_t live)
{
    for (size_t pos = 0; pos < moved.size(); ++pos) {
        if (moved[pos] < 0 || size_t(moved[pos]) == pos)
            continue;
        if (mPlain)
            mTexts[size_t(moved[pos])] = std::move(mTexts[pos]);
        else
            mCodes[size_t(moved[pos])] = mCodes[pos];
    }
    if (mPlain)
        mTexts.resize(live);
    else
        mCodes.resize(live);
}

void HashlistValues::clear()
{
    mShared = {};
    mSharedCount = 1;
    mCodes.clear();
    std::vector<QString>().swap(mTexts);
    mPlain = false;
}

void HashlistValues::swap(HashlistValues &other) noexcept
{
    std::swap(mShared, other.mShared);
    std::swap(mSharedCount, other.mSharedCount);
    std::swap(mCodes, other.mCodes);
    std::swap(mTexts, other.mTexts);
    std::swap(mPlain, other.mPlain);
}

} // namespace Wordloom
