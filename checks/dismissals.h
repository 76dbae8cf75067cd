#pragma once

#include "checks/checkregistry.h"

#include <QString>
#include <set>

namespace Wordloom {

// The findings the user dismissed ("Ignorieren"), per check and key, each
// with a hash of the texts the check judged, so a dismissal no longer holds
// once either text changes. They live in NAME.xml.wordloom-ignore beside the
// pack: one line per dismissal, check id, key and hash separated by tabs,
// sorted, so the file diffs well. Nothing of it enters the pack file.
class Dismissals {
public:
    static QString pathBeside(const QString &packPath) { return packPath + QStringLiteral(".wordloom-ignore"); }

    // A missing file gives no dismissals; throws Error on a file that
    // cannot be read.
    void load(const QString &path);
    // Writes the sorted lines; removes the file when there are none.
    void save(const QString &path) const;

    // The hash of what the finding's check judged: the key name for the key
    // name checks, the texts of the key (and of the reference) otherwise.
    static QString hashOf(const Finding &finding, const CheckedPack &pack, const CheckedPack *reference);

    void dismiss(const Finding &finding, const QString &hash);
    bool isDismissed(const Finding &finding, const QString &hash) const;
    // Leaves out the dismissed findings.
    void filter(std::vector<Finding> &findings, const CheckedPack &pack, const CheckedPack *reference) const;
    bool isEmpty() const { return mLines.empty(); }
    void clear() { mLines.clear(); }

private:
    static QString lineOf(const Finding &finding, const QString &hash);
    std::set<QString> mLines;
};

} // namespace Wordloom
