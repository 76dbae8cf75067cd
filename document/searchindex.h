#pragma once

#include "document/keynames.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace Wordloom {

// The full-text index of a list's values for searches that ignore case.
// Every value is lowered, in UTF-8, and stored one after the other in one
// buffer with a NUL after each, so one pass of a byte search finds them
// all; the lines are kept in name order, so results need no sorting. A
// changed or removed value's bytes are zeroed and its new form appended.
// Lines are known by their positions in the list.
class SearchIndex {
public:
    // The name of a line, for keeping the name order.
    using NameAt = std::function<const QString &(qint32 pos)>;

    // The index of the lines at positions 0..n-1; a line with an empty
    // value is a removed one and stays out of the order. The values are
    // lowered while the names are sorted, on the worker pool.
    static std::unique_ptr<SearchIndex> build(const std::vector<QString> &names, const std::vector<QString> &values);

    // The text as the index holds it: lowered, in UTF-8.
    static QByteArray lowered(QStringView text);

    // The lines whose value holds the lowered needle, in name order. A
    // needle extending the last one only looks at the last hits.
    std::vector<qint32> find(const QByteArray &needle);
    // Whether lines holding the lowered text with all its case letters
    // hold the text itself: for one ASCII letter, or ASCII with none.
    static bool caseLettersDecide(QStringView text);
    // The hits whose values have all the case letters of the text, a
    // superset of those holding it in its case.
    std::vector<qint32> withCaseLetters(std::vector<qint32> hits, QStringView text) const;

    // The positions of the live lines in name order.
    const std::vector<qint32> &order() const { return mOrder; }

    // Indexes the value at pos, which is new or was removed before; pos may
    // lie beyond the positions known so far.
    void addValue(qsizetype pos, QStringView value);
    void removeValue(qsizetype pos);
    // Whether most of the buffer holds removed values, so a rebuild pays.
    bool isWorn() const;
    // The positions known: lines 0..lineCount()-1.
    qsizetype lineCount() const { return qsizetype(mStartOf.size()); }
    // Indexes the changed value of a line that stays: in the old value's
    // place when its lowered form is no longer, else appended.
    void changeValue(qsizetype pos, QStringView value);
    // The same for the lines at many positions (repeats allowed), in two
    // halves at once; valueAt gives a line's value now.
    using ValueAt = std::function<const QString &(qsizetype pos)>;
    void changeValues(const std::vector<qsizetype> &positions, const ValueAt &valueAt);
    // Keep the name order as lines come, go and change their spelling.
    void insertInOrder(qint32 pos, const QString &name, const NameAt &nameAt);
    void eraseFromOrder(const QString &name, const NameAt &nameAt);

private:
    // Writes the lowered value over the old one at pos when it fits and
    // adds the bytes freed; false when it does not fit. Lines apart may be
    // rewritten at once, given the buffer's bytes.
    bool rewrite(char *bytes, qsizetype pos, QStringView value, qsizetype &freed);
    // Marks the lines whose value holds the needle, for the part [from, to)
    // of the buffer, which begins at a value's start.
    void scan(const QByteArray &needle, qsizetype from, qsizetype to, std::vector<char> &hit) const;

    QByteArray mText;
    // Where each value starts, in buffer order, and its line.
    std::vector<std::pair<qsizetype, qsizetype>> mStarts;
    // Line position -> start in the buffer, or -1.
    std::vector<qsizetype> mStartOf;
    // Line position -> the case letters of its value.
    std::vector<quint64> mCases;
    // Line positions in name order.
    std::vector<qint32> mOrder;
    qsizetype mGarbage = 0;
    // The last search's needle and hits: a needle containing it only has to
    // look at those lines.
    QByteArray mLastNeedle;
    std::vector<qint32> mLastHits;
};

} // namespace Wordloom
