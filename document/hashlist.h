#pragma once

#include <QHash>
#include <QString>
#include <vector>

namespace Wordloom {

// Folds letter case by Unicode simple case folding, the rule by which key
// names compare throughout the program.
bool namesEqual(QStringView a, QStringView b);
size_t nameHash(QStringView name, size_t seed = 0);

// Lower-cases a text code point by code point; returns the text itself
// (shared) when nothing changes. Search compares lowered texts.
QString lowerText(const QString &text);

// An ordered list of name/value lines with a case-insensitive index.
// Names and values are kept apart, so a name may contain "=".
class Hashlist {
public:
    Hashlist() = default;
    Hashlist(const Hashlist &) = delete;
    Hashlist &operator=(const Hashlist &) = delete;
    Hashlist(Hashlist &&) noexcept = default;
    Hashlist &operator=(Hashlist &&) noexcept = default;

    // The empty text for a missing name.
    QString value(const QString &name) const;
    bool contains(const QString &name) const;
    // A non-empty value replaces the line (taking the name as now given) or
    // appends one; the empty value removes the line.
    void setValue(const QString &name, const QString &value);
    void remove(const QString &name);
    void clear();
    void swap(Hashlist &other) noexcept;

    qsizetype count() const { return mLive; }
    const QString &nameAt(qsizetype i) const;
    const QString &valueAt(qsizetype i) const;
    // The line in its plug-in form, name "=" value.
    QString lineAt(qsizetype i) const;

    // Keeps a lower-cased copy of every value for searching.
    void setKeepsLowered(bool on);
    template <typename Visit> void forEachLowered(Visit visit) const
    {
        for (const Line &line : mLines)
            if (line.alive)
                visit(line.name, line.lowered);
    }

    // Frees the slots of removed lines; positional access does this itself.
    void compact() const;

private:
    struct Line {
        QString name;
        QString value;
        QString lowered;
        bool alive = true;
    };
    struct Key {
        QString name;
        bool operator==(const Key &o) const { return namesEqual(name, o.name); }
    };
    friend size_t qHash(const Key &k, size_t seed) { return nameHash(k.name, seed); }

    const qsizetype *find(const QString &name) const;

    mutable std::vector<Line> mLines;
    mutable QHash<Key, qsizetype> mIndex;
    qsizetype mLive = 0;
    bool mKeepsLowered = false;
};

} // namespace Wordloom
