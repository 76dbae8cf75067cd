#include "checks/keychecks.h"

#include <QStringList>

namespace Wordloom {

namespace {

CheckResult resultOf(const QStringList &reported)
{
    return CheckResult{reported.isEmpty(), reported.join(QStringLiteral(", "))};
}

} // namespace

bool hasForbiddenKeyCharacter(const QString &name)
{
    const char16_t *p = reinterpret_cast<const char16_t *>(name.constData());
    const char16_t *const end = p + name.size();
    for (; p != end; ++p)
        if (*p > 127 || *p == u'"' || *p == u'\'')
            return true;
    return false;
}

namespace {

// Each name's text lives in its own allocation: asking for the texts a few
// names ahead keeps a pass over a million names from waiting on memory.
inline void prefetchAhead(const std::vector<QString> &names, size_t i)
{
    if (i + 8 < names.size())
        __builtin_prefetch(names[i + 8].constData());
}

} // namespace

CheckResult checkForDuplicates(const std::vector<QString> &names)
{
    QStringList reported;
    for (size_t i = 1; i < names.size(); ++i) {
        prefetchAhead(names, i);
        if (names[i] == names[i - 1])
            reported.append(names[i]);
    }
    return resultOf(reported);
}

CheckResult checkKeySyntax(const std::vector<QString> &names)
{
    QStringList reported;
    for (size_t i = 0; i < names.size(); ++i) {
        prefetchAhead(names, i);
        if (hasForbiddenKeyCharacter(names[i]))
            reported.append(names[i]);
    }
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
