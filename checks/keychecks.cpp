#include "checks/keychecks.h"

#include <QStringList>

namespace Wordloom {

namespace {

CheckResult resultOf(const QStringList &reported)
{
    return CheckResult{reported.isEmpty(), reported.join(QStringLiteral(", "))};
}

bool hasForbiddenCharacter(const QString &name)
{
    for (QChar c : name) {
        const char16_t u = c.unicode();
        if (u == '"' || u == '\'' || u > 127)
            return true;
    }
    return false;
}

} // namespace

CheckResult checkForDuplicates(const std::vector<QString> &names)
{
    QStringList reported;
    for (size_t i = 1; i < names.size(); ++i)
        if (names[i] == names[i - 1])
            reported.append(names[i]);
    return resultOf(reported);
}

CheckResult checkKeySyntax(const std::vector<QString> &names)
{
    QStringList reported;
    for (const QString &name : names)
        if (hasForbiddenCharacter(name))
            reported.append(name);
    return resultOf(reported);
}

QString duplicateCheckMessage(const CheckResult &result)
{
    return result.passed ? QStringLiteral("Doppel-Check bestanden")
                         : QStringLiteral("Doppel-Check nicht bestanden: ") + result.list;
}

QString syntaxCheckMessage(const CheckResult &result)
{
    return result.passed ? QStringLiteral("Syntax-Check bestanden")
                         : QStringLiteral("Syntax-Check nicht bestanden: ") + result.list;
}

} // namespace Wordloom
