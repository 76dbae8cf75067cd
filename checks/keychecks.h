#pragma once

#include <QString>
#include <vector>

namespace Wordloom {

struct CheckResult {
    bool passed = true;
    // The reported names joined by ", ", in list order.
    QString list;
};

// Compares neighbours exactly, so a name standing k times in a row is
// reported k - 1 times; the list is expected in sorted order.
CheckResult checkForDuplicates(const std::vector<QString> &names);
// Reports every name holding a double quote, an apostrophe or a character
// outside 7-bit ASCII, each once.
CheckResult checkKeySyntax(const std::vector<QString> &names);
// Whether one name fails the syntax check.
bool hasForbiddenKeyCharacter(const QString &name);

// The messages that report the two checks, in the editor and on the
// command line.
QString duplicateCheckMessage(const CheckResult &result);
QString syntaxCheckMessage(const CheckResult &result);

} // namespace Wordloom
