#include "checks/keychecks.h"

#include <gtest/gtest.h>

using namespace Wordloom;

namespace {

std::vector<QString> names(std::initializer_list<const char *> list)
{
    std::vector<QString> result;
    for (const char *name : list)
        result.push_back(QString::fromUtf8(name));
    return result;
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

TEST(SyntaxCheck, ReportsQuotesAndEverythingOutsideAscii)
{
    const CheckResult passed = checkKeySyntax(names({"", "plain_key", "with blank", "<>&=\\;:!?", "tab\tand\x01"}));
    EXPECT_TRUE(passed.passed);
    EXPECT_EQ(passed.list, QString());

    const CheckResult failed = checkKeySyntax(names({"ok", "say \"hi\"", "it's", "größe", "ok2", "'\"ä", "日本", "größe"}));
    EXPECT_FALSE(failed.passed);
    EXPECT_EQ(failed.list, QStringLiteral("say \"hi\", it's, größe, '\"ä, 日本, größe"));
    EXPECT_TRUE(checkKeySyntax(names({})).passed);
}
