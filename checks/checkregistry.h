#pragma once

#include "document/packformat.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <span>
#include <vector>

namespace Wordloom {

enum class Severity { Error, Warning, Info };

// "Fehler", "Warnung", "Hinweis"; and "error", "warning", "info" for JSON.
QString severityTitle(Severity severity);
const char *severityId(Severity severity);

// What the text checks look at of one key, in a pack or in the reference.
struct CheckedText {
    QString translation;
    bool encodeHTML = false;
    bool preserveLinebreaks = false;
};

struct CheckDefinition;

// One finding: a key, the check that found it and what it found.
struct Finding {
    QString key;
    const CheckDefinition *check = nullptr;
    QString message;
};

// A check of the registry. A text check is a function of a key's entry (and
// the reference's, or nullptr when there is no reference or it has no text
// for the key) to messages; a list check (the two key name checks of Parts
// 3.1 and 3.2) looks at the whole key list.
struct CheckDefinition {
    const char *id;
    QString title;
    Severity severity;
    bool needsReference;
    std::function<void(const CheckedText &text, const CheckedText *reference, QStringList &messages)> textCheck;
    std::function<void(const std::vector<QString> &names, std::vector<Finding> &findings)> listCheck;
};

// Every check, in a fixed order: duplicates, syntax, case-variants, then the
// text checks.
std::span<const CheckDefinition> checkRegistry();
// The check of that id, or nullptr.
const CheckDefinition *findCheck(QStringView id);

// A pack's keys and texts, as the checks see them.
struct CheckedPack {
    const std::vector<QString> *names = nullptr;
    const KeyData *data = nullptr;
    CheckedText text(const QString &name) const;
    // The same with the name's hash (nameHash) computed already.
    CheckedText text(const QString &name, size_t hash) const;
};

// Runs the checks on one key; a check that needs the reference runs only
// when the reference has a translation for the key.
void checkKey(const QString &name, const CheckedText &text, const CheckedText *reference,
    std::span<const CheckDefinition *const> checks, std::vector<Finding> &findings);

// Runs the checks over a whole pack, the text checks spread over threads;
// findings come in key list order, list checks first.
std::vector<Finding> checkPack(const CheckedPack &pack, const CheckedPack *reference,
    std::span<const CheckDefinition *const> checks);

// A stable hash of the texts a check judged, for the dismissals file.
QString judgedTextsHash(const CheckedText &text, const CheckedText *reference);

} // namespace Wordloom
