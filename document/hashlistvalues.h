#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <vector>

namespace Wordloom {

// The values of a Hashlist's lines by position; the empty text marks a
// removed line. While the lines hold only a few distinct values, as the
// option lists do with "0" and "1", each line keeps one byte naming its
// value; the first value beyond those makes it one text a line for good.
class HashlistValues {
public:
    size_t size() const { return mPlain ? mTexts.size() : mCodes.size(); }
    const QString &operator[](size_t pos) const { return mPlain ? mTexts[pos] : mShared[mCodes[pos]]; }
    // Throws std::out_of_range beyond the last position.
    const QString &at(size_t pos) const { return mPlain ? mTexts.at(pos) : mShared[mCodes.at(pos)]; }
    // Starts loading the line's entry.
    void prefetch(size_t pos) const
    {
        if (mPlain)
            __builtin_prefetch(&mTexts[pos]);
        else
            __builtin_prefetch(&mCodes[pos]);
    }
    bool isAlive(size_t pos) const { return mPlain ? !mTexts[pos].isEmpty() : mCodes[pos] != 0; }
    void append(const QString &value);
    // The empty value removes the line.
    void set(size_t pos, const QString &value);
    void reserve(size_t positions);
    // Keeps the positions moved maps to one, each at its new place, and
    // drops those it maps to -1.
    void compact(const std::vector<qint32> &moved, size_t live);
    void clear();
    void swap(HashlistValues &other) noexcept;
    // Whether each line keeps one byte instead of a text.
    bool isShared() const { return !mPlain; }

private:
    static constexpr int kShared = 8;
    // The code of the value, taking it in when there is room; -1 without.
    int codeOf(const QString &value);
    void makePlain();

    // Code 0 is the empty text. Entries stay until clear(), so a reference
    // to a value handed out stays valid as before.
    std::array<QString, kShared> mShared;
    int mSharedCount = 1;
    std::vector<quint8> mCodes;
    std::vector<QString> mTexts;
    bool mPlain = false;
};

} // namespace Wordloom
