// SPDX-License-Identifier: Apache-2.0
// docs/tovmem.md's table of check's rules is check's own rule list: a rule
// added to rules[] (or a changed description) fails here with the lines that
// differ until scripts/update-generated.sh writes the table anew.
#include <gtest/gtest.h>

#include <string>

#include "tests/generated_file.h"
#include "tools/tovmem/rules.h"

namespace tov::test::check_rule_table_test {
namespace {

std::string rule_table() {
    std::string t = "| rule | passes when |\n|---|---|\n";
    for (const auto& [name, passes] : tovmem::rule_descriptions()) t += "| `" + name + "` | " + passes + " |\n";
    return t;
}

TEST(GeneratedToolDocs, CheckRuleTableIsChecksRuleList) {
    const auto rules = tovmem::rule_descriptions();
    ASSERT_EQ(rules.size(), tovmem::rule_names().size());
    for (size_t i = 0; i < rules.size(); ++i) {
        EXPECT_EQ(rules[i].first, tovmem::rule_names()[i]);
        EXPECT_FALSE(rules[i].second.empty()) << rules[i].first << " says nothing of when it passes";
    }
    generated::expect_block("docs/tovmem.md", "<!-- check rules: begin", "<!-- check rules: end", rule_table());
}

}  // namespace
}  // namespace tov::test::check_rule_table_test
