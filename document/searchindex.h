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
// Lines are known by their positions in the list. Beside the buffer, one
// bit a byte marks the characters lowering changed, so a search in the
// text's case tells "Di" from "di" while it scans.
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
    // The value a line holds now, for the few the marks cannot decide.
    using ValueAt = std::function<const QString &(qsizetype pos)>;
    // The lines whose value holds the text in its case, in name order.
    std::vector<qint32> findInCase(QStringView text, const ValueAt &valueAt);
    // Whether the text holds the needle as it stands; the needle is not
    // empty.
    static bool containsInCase(QStringView text, QStringView needle);

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
    void changeValues(const std::vector<qsizetype> &positions, const ValueAt &valueAt);
    // Keep the name order as lines come, go and change their spelling.
    void insertInOrder(qint32 pos, const QString &name, const NameAt &nameAt);
    void eraseFromOrder(const QString &name, const NameAt &nameAt);

private:
    // A needle lowered, with the marks of its changed characters when its
    // case counts.
    struct Needle {
        QByteArray bytes;
        std::vector<quint64> changed;
        bool inCase = false;
    };
    // The hits of a needle; text is the needle as typed when in its case.
    std::vector<qint32> search(const Needle &needle, const QString &text);
    // Whether the needle found at byte at of the line at pos stands there
    // in its case, or the line's marks cannot tell.
    bool holdsAt(qsizetype at, qsizetype pos, const Needle &needle) const;
    // Sets the marks of n bytes from at to those of marks from its start.
    void putMarks(qsizetype at, qsizetype n, const std::vector<quint64> &marks);
    // Writes the lowered value over the old one at pos when it fits and
    // adds the bytes freed; false when it does not fit. Lines apart may be
    // rewritten at once, given the buffer's bytes.
    bool rewrite(char *bytes, qsizetype pos, QStringView value, qsizetype &freed);
    // Marks the lines whose value holds the needle, for the part [from, to)
    // of the buffer, which begins at a value's start.
    void scan(const Needle &needle, qsizetype from, qsizetype to, std::vector<char> &hit) const;

    QByteArray mText;
    // Where each value starts, in buffer order, and its line.
    std::vector<std::pair<qsizetype, qsizetype>> mStarts;
    // Line position -> start in the buffer, or -1.
    std::vector<qsizetype> mStartOf;
    // A bit a byte of the buffer, and a spare word: set for the bytes of
    // characters that lowering changed.
    std::vector<quint64> mChanged;
    // Line position -> whether its value holds a character the marks
    // cannot tell apart (not the upper case of its lowered form, such as
    // the Kelvin sign), so a hit in its case is compared with the value.
    std::vector<char> mOdd;
    // Line positions in name order.
    std::vector<qint32> mOrder;
    qsizetype mGarbage = 0;
    // The last search's needle and hits: a needle containing it only has to
    // look at those lines.
    QByteArray mLastNeedle;
    QString mLastText;
    bool mLastInCase = false;
    std::vector<qint32> mLastHits;
};

} // namespace Wordloom
