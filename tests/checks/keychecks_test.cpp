#include "checks/keychecks.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace Wordloom;

namespace {

std::vector<QString> names(std::initializer_list<const char *> list)
{
    std::vector<QString> all;
    for (const char *name : list)
        all.push_back(QString::fromUtf8(name));
    return all;
}

} // namespace

TEST(DuplicateCheck, ReportsEqualNeighboursExactly)
{
    const struct {
        std::vector<QString> keys;
        bool passed;
        const char *list;
    } table[] = {
        {names({}), true, ""},
        {names({"a"}), true, ""},
        {names({"a", "a", "b"}), false, "a"},
        {names({"a", "a", "a"}), false, "a, a"},
        {names({"a", "a", "b", "b"}), false, "a, b"},
        {names({"a", "b", "c"}), true, ""},
        {names({"Title", "title"}), true, ""},
        {names({"a", "b", "a"}), true, ""},
        {names({"", ""}), false, ""},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.list);
        const CheckResult result = checkForDuplicates(row.keys);
        EXPECT_EQ(result.passed, row.passed);
        EXPECT_EQ(result.list, QString::fromUtf8(row.list));
    }
}

TEST(SyntaxCheck, ForbidsQuotesAndEverythingAbove127)
{
    const std::pair<const char16_t *, bool> table[] = {{u"", true}, {u"plain_key with blank", true},
        {u"<>&=\\;:!?~", true}, {u"tab\tand\x01", true}, {u"del\x7F", true}, {u"\x80", false}, {u"say \"hi\"", false},
        {u"it's", false}, {u"größe", false}, {u"\xFFFF", false}, {u"\U0001F600", false}};
    for (const auto &[name, passes] : table) {
        const QString text = QStringView(name).toString();
        SCOPED_TRACE(text.toStdString());
        const CheckResult result = checkKeySyntax({text});
        EXPECT_EQ(result.passed, passes);
        EXPECT_EQ(result.list, passes ? QString() : text);
    }
    const CheckResult failed = checkKeySyntax(names({"ok", "it's \"ä\"", "größe", "ok2", "größe"}));
    EXPECT_EQ(failed.list, QStringLiteral("it's \"ä\", größe, größe")) << "once per name, in list order";
}
