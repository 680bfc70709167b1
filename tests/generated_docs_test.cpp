// SPDX-License-Identifier: Apache-2.0
// The generated documents and the generated parts of others stay what the
// tables and the routine list give: docs/configurations.md whole, the
// README's count of init routines. A difference fails with a unified diff
// of the lines that differ; TOV_GOLDEN_UPDATE=1 (scripts/update-generated.sh)
// writes them. Built into the library tests, so the update needs no tovmem.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "meminit/entry/config_table.h"
#include "tests/generated_file.h"
#include "tools/tovmem/configurations.h"

namespace tov::test::generated_docs_test {
namespace {

TEST(GeneratedDocs, ConfigurationsAreTheTablesOutput) {
    const std::string text = tovmem::configurations_markdown();
    // What any table gives: the heading, one row line per ID, the register window.
    ASSERT_EQ(text.rfind("# Configurations\n", 0), 0u);
    ASSERT_NE(text.find("| 0x3000099 | varnel | "), std::string::npos);
    ASSERT_NE(text.find("map at least 0x"), std::string::npos);
    generated::expect_file("docs/configurations.md", text);
}

size_t routines_in_routines_def() {
    const std::string def = generated::read_text(generated::source_path("meminit/entry/routines.def"));
    size_t n = 0;
    for (const std::string& l : generated::split_lines(def)) n += l.rfind("TOV_ROUTINE(", 0) == 0;
    return n;
}

// The README's sentence "picks one of N init routines" with N the routine list's count.
std::string readme_with_count(const std::string& readme, size_t routines) {
    static const std::regex count(R"(one of(\s+)[0-9]+(\s+)init(\s+)routines)");
    return std::regex_replace(readme, count, "one of$01" + std::to_string(routines) + "$02init$03routines",
                              std::regex_constants::format_first_only);
}

TEST(GeneratedDocs, ReadmeCountsTheRoutinesOfRoutinesDef) {
    const size_t routines = routines_in_routines_def();
    ASSERT_GT(routines, 0u);
    const std::string readme = generated::read_text(generated::source_path("README.md"));
    ASSERT_TRUE(std::regex_search(readme, std::regex(R"(one of\s+[0-9]+\s+init\s+routines)")))
        << "README.md should say: picks one of " << routines << " init routines";
    generated::expect_file("README.md", readme_with_count(readme, routines));
}

// The rewrite touches the count and nothing else, across a line break too.
TEST(GeneratedDocs, ReadmeCountRewriteKeepsTheRest) {
    EXPECT_EQ(readme_with_count("picks one of 71 init routines from", 72), "picks one of 72 init routines from");
    EXPECT_EQ(readme_with_count("one of 9\ninit routines; one of 9 init routines", 10),
              "one of 10\ninit routines; one of 9 init routines");
    EXPECT_EQ(readme_with_count("no count here", 3), "no count here");
}

// The diff the generated files fail with: only the changed lines and their
// context, each line cut short.
TEST(GeneratedDocs, FailureShowsOnlyTheChangedLines) {
    std::vector<std::string> a, b;
    for (int i = 0; i < 3000; ++i) a.push_back("| row " + std::to_string(i) + " |");
    b = a;
    b.insert(b.begin() + 1500, "| new row |");
    b[2000] = std::string(5000, 'x');
    const std::string d = generated::unified_diff(a, b);
    EXPECT_NE(d.find("+| new row |\n"), std::string::npos) << d;
    EXPECT_NE(d.find("-| row 1999 |\n"), std::string::npos) << d;
    EXPECT_NE(d.find("(4800 more characters)"), std::string::npos) << d;
    EXPECT_EQ(d.find("| row 100 |"), std::string::npos) << d;
    EXPECT_LT(d.size(), 1000u) << d;
    size_t longest = 0;
    for (const std::string& l : generated::split_lines(d)) longest = std::max(longest, l.size());
    EXPECT_LT(longest, 260u);
}

// ---------------------------------------------------------------------------
// The recipes of docs/maintaining.md, held where they would drift.
// ---------------------------------------------------------------------------

std::string section(const std::string& doc, const std::string& heading) {
    const size_t b = doc.find(heading);
    if (b == std::string::npos) return "";
    const size_t e = doc.find("\n### ", b + heading.size());
    return doc.substr(b, e == std::string::npos ? std::string::npos : e - b);
}

// The field names of a designated-initialiser row line, in order.
std::vector<std::string> fields_of(const std::string& row) {
    std::vector<std::string> out;
    static const std::regex field(R"(\.([a-z_]+) =)");
    for (auto m = std::sregex_iterator(row.begin(), row.end(), field); m != std::sregex_iterator(); ++m)
        out.push_back((*m)[1]);
    return out;
}

// The row the recipe adds is a new third-family ID naming an existing
// routine, written as the rows of varnel_rows are, and the recipe ends with
// the update command; so following it adds that ID's lines and nothing else.
TEST(GeneratedDocs, RowRecipeAddsANewThirdFamilyId) {
    const std::string recipe = section(generated::read_text(generated::source_path("docs/maintaining.md")),
                                       "### A third-family row that uses an existing routine");
    ASSERT_FALSE(recipe.empty()) << "docs/maintaining.md has no row recipe";
    std::smatch m;
    ASSERT_TRUE(std::regex_search(recipe, m, std::regex(R"(\{\.id = (0x[0-9a-f]+), \.routine = (\w+),[^\n]*\},)")))
        << "the recipe shows no row";
    const std::string row = m[0];
    const uint32_t id = static_cast<uint32_t>(std::stoul(m[1], nullptr, 16));
    const std::string routine = m[2];
    EXPECT_EQ(classify(id), Family::varnel) << m[1] << " is not a third-family ID";
    const std::string dispatch = generated::read_text(generated::source_path("meminit/entry/dispatch.cpp"));
    // Once the recipe is followed its row is in the table, as written; before, its ID is new.
    const bool followed = dispatch.find("    " + row + "\n") != std::string::npos;
    const ConfigTable t = family_table(Family::varnel);
    bool names_routine = false;
    for (uint32_t i = 0; i < t.count; ++i) {
        if (!followed)
            EXPECT_NE(t.rows[i].id, id) << "the recipe's ID " << m[1] << " is in the table already: pick a new one";
        names_routine |= routine == routine_name(t.rows[i].routine);
    }
    EXPECT_TRUE(names_routine) << routine << " is no routine of the third family's table";
    // Written as the table's rows are.
    std::smatch r;
    ASSERT_TRUE(std::regex_search(dispatch, r, std::regex(R"(\{\.id = 0x3[0-9a-f]+, [^\n]*\},)")));
    EXPECT_EQ(fields_of(row), fields_of(r[0])) << "the recipe's row: " << row << "\na row of the table: " << r[0];
    EXPECT_NE(recipe.find(generated::update_command), std::string::npos)
        << "the recipe should name the update command, " << generated::update_command;
}

// Whether `name` is declared as a member (a word followed by an optional
// initialiser and ";") in one of the headers' texts.
bool declares(const std::vector<std::string>& headers, const std::string& name) {
    const std::regex member("\\b" + name + R"((\[[0-9a-z_]+\])?( = [^;\n]*)?;)");
    for (const std::string& h : headers)
        if (std::regex_search(h, member)) return true;
    return false;
}

// The routine recipe, as written, names what the code has: its routine
// line has the form of routines.def's, its profile derives from a profile
// that exists and sets fields that Profile has, its entry message and its
// row name its routine, and its row is a third-family row.
TEST(GeneratedDocs, RoutineRecipeNamesWhatTheCodeHas) {
    const std::string recipe = section(generated::read_text(generated::source_path("docs/maintaining.md")),
                                       "### A third-family routine for a new DRAM part");
    ASSERT_FALSE(recipe.empty()) << "docs/maintaining.md has no routine recipe";
    const std::string def = generated::read_text(generated::source_path("meminit/entry/routines.def"));
    const std::string varnel = generated::read_text(generated::source_path("meminit/varnel/varnel.cpp"));
    const std::vector<std::string> headers = {generated::read_text(generated::source_path("meminit/varnel/varnel.h")),
                                              generated::read_text(generated::source_path("meminit/hw/dram.h"))};

    std::smatch line;
    ASSERT_TRUE(std::regex_search(recipe, line, std::regex(R"(TOV_ROUTINE\((\w+), (\w+), (\w+)\))")));
    const std::string routine = line[2], profile = line[3];
    EXPECT_EQ(line[1], "varnel");
    // The list's own lines: family, routine, and the profile the routine's name ends in.
    size_t listed = 0;
    for (const std::string& l : generated::split_lines(def)) {
        std::smatch m;
        if (!std::regex_match(l, m, std::regex(R"(TOV_ROUTINE\(varnel, meminit_varnel_(\w+), (\w+)\))"))) continue;
        ++listed;
        EXPECT_EQ(m[1], m[2]) << "routines.def: " << l;
    }
    EXPECT_GT(listed, 20u);
    EXPECT_EQ(routine, "meminit_varnel_" + profile) << "the recipe's line: " << line[0];

    std::smatch derived;
    ASSERT_TRUE(std::regex_search(recipe, derived,
                                  std::regex(R"(constexpr Profile (\w+) = derive\((\w+), \[\]\(Profile& p\))")))
        << "the recipe derives no profile";
    EXPECT_EQ(derived[1], profile);
    EXPECT_NE(varnel.find("constexpr Profile " + std::string(derived[2]) + " ="), std::string::npos)
        << "the recipe derives from " << derived[2] << ", which varnel.cpp does not define";
    const std::regex set(R"(p\.([a-z_0-9.]+) = ([^;]+);)");
    size_t fields = 0;
    for (auto m = std::sregex_iterator(recipe.begin(), recipe.end(), set); m != std::sregex_iterator(); ++m, ++fields) {
        std::string path = (*m)[1];
        for (size_t at = 0; at != std::string::npos;) {
            const size_t dot = path.find('.', at);
            const std::string name = path.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
            EXPECT_TRUE(declares(headers, name)) << "the recipe sets p." << path << ": no member " << name;
            at = dot == std::string::npos ? dot : dot + 1;
        }
        if (path == "entry") EXPECT_NE((*m)[2].str().find(routine), std::string::npos) << (*m)[0];
    }
    EXPECT_GE(fields, 2u);

    std::smatch row;
    ASSERT_TRUE(std::regex_search(recipe, row, std::regex(R"(\{\.id = (0x[0-9a-f]+), \.routine = (\w+),)")));
    EXPECT_EQ(row[2], routine);
    EXPECT_EQ(classify(static_cast<uint32_t>(std::stoul(row[1], nullptr, 16))), Family::varnel);
}

// The field recipe's names are the code's: the field it greps for, the
// check that refuses two fields sharing a bit, and the suite that names a
// document still using an old field.
TEST(GeneratedDocs, FieldRecipeNamesWhatTheCodeHas) {
    const std::string recipe =
        section(generated::read_text(generated::source_path("docs/maintaining.md")), "### A register field");
    ASSERT_FALSE(recipe.empty()) << "docs/maintaining.md has no field recipe";
    const std::string regs = generated::read_text(generated::source_path("meminit/hw/regs.h"));
    std::smatch grep;
    ASSERT_TRUE(std::regex_search(recipe, grep, std::regex(R"(grep -rn '(\w+)::(\w+)')")));
    const size_t ns = regs.find("namespace " + std::string(grep[1]) + " {");
    ASSERT_NE(ns, std::string::npos) << "regs.h has no register " << grep[1];
    EXPECT_NE(regs.find("constexpr Field " + std::string(grep[2]) + "{", ns), std::string::npos)
        << "regs.h has no field " << grep[0];
    EXPECT_NE(recipe.find("Field::place"), std::string::npos);
    EXPECT_NE(regs.find("constexpr uint32_t place("), std::string::npos) << "regs.h's Field has no place()";
    EXPECT_NE(regs.find("share a bit"), std::string::npos) << "the recipe quotes a check regs.h does not make";
    std::smatch suite;
    ASSERT_TRUE(std::regex_search(recipe, suite, std::regex(R"(`GeneratedDocs\.(\w+)`)")));
    EXPECT_NE(generated::read_text(generated::source_path("tests/generated_docs_test.cpp"))
                  .find("TEST(GeneratedDocs, " + std::string(suite[1]) + ")"),
              std::string::npos)
        << "the recipe names GeneratedDocs." << suite[1] << ", which no test is";
}

// The rule recipe's names are the code's: every identifier it quotes is
// declared in the rule engine, every file it names exists, and every test
// suite it names is a suite of the tests.
TEST(GeneratedDocs, RuleRecipeNamesWhatTheCodeHas) {
    const std::string recipe =
        section(generated::read_text(generated::source_path("docs/maintaining.md")), "### A `tovmem check` rule");
    ASSERT_FALSE(recipe.empty()) << "docs/maintaining.md has no rule recipe";
    const std::string engine = generated::read_text(generated::source_path("tools/tovmem/rules.h")) +
                               generated::read_text(generated::source_path("tools/tovmem/rules.cpp"));
    std::string tests;
    for (const auto& f : std::filesystem::directory_iterator(generated::source_path("tests")))
        if (f.path().extension() == ".cpp") tests += generated::read_text(f.path().string());
    size_t names = 0, files = 0, suites = 0;
    const std::regex quoted("`([^`\n]+)`");
    for (auto m = std::sregex_iterator(recipe.begin(), recipe.end(), quoted); m != std::sregex_iterator(); ++m) {
        const std::string q = (*m)[1];
        std::smatch part;
        if (std::regex_match(q, part, std::regex(R"(([A-Za-z_][A-Za-z0-9_]*)(\[\])?)"))) {
            ++names;
            EXPECT_TRUE(std::regex_search(engine, std::regex("\\b" + std::string(part[1]) + "\\b")))
                << "the rule recipe quotes `" << q << "`, which the rule engine does not declare";
        } else if (std::regex_match(q, std::regex(R"([a-z_/]+\.(cpp|h|md|sh))"))) {
            ++files;
            EXPECT_TRUE(std::filesystem::exists(generated::source_path(q))) << "the rule recipe names " << q;
        } else if (std::regex_match(q, part, std::regex(R"(([A-Za-z]+)\.\*)"))) {
            ++suites;
            EXPECT_TRUE(tests.find("TEST(" + std::string(part[1]) + ",") != std::string::npos ||
                        tests.find("TEST_P(" + std::string(part[1]) + ",") != std::string::npos)
                << "the rule recipe names the suite " << q << ", which no test is";
        }
    }
    EXPECT_GE(names, 4u);
    EXPECT_GE(files, 2u);
    EXPECT_GE(suites, 2u);
}

// A figure that a new row moves (the number of IDs, of check --all's
// configurations) belongs to no document but the generated table: a row
// then adds lines and changes none.
TEST(GeneratedDocs, DocumentsStateNoFigureARowMoves) {
    size_t ids = 0;
    for (Family f : {Family::halden, Family::orlit, Family::varnel}) ids += family_table(f).count;
    ASSERT_GT(ids, 100u);
    std::set<std::string> figures;
    for (size_t n : {ids, ids * 14})
        for (const std::string& text : {std::to_string(n), std::to_string(n / 1000) + "," + std::to_string(n % 1000)})
            if (n >= 1000 || text.find(',') == std::string::npos) figures.insert(text);
    std::vector<std::string> documents = {"README.md"};
    for (const auto& e : std::filesystem::directory_iterator(generated::source_path("docs")))
        if (e.path().extension() == ".md" && e.path().filename() != "configurations.md")
            documents.push_back("docs/" + e.path().filename().string());
    std::vector<std::pair<std::string, std::regex>> words;
    for (const std::string& f : figures)
        words.emplace_back(f, std::regex("(^|[^0-9.,x])" + f + "($|[^0-9.,]|[.,]($|[^0-9]))"));
    for (const std::string& doc : documents) {
        const std::vector<std::string> lines =
            generated::split_lines(generated::read_text(generated::source_path(doc)));
        for (size_t n = 0; n < lines.size(); ++n)
            for (const auto& [f, word] : words) {
                // Most lines hold no figure at all: the regular expression only where the digits are.
                if (lines[n].find(f) == std::string::npos) continue;
                EXPECT_FALSE(std::regex_search(lines[n], word))
                    << doc << ":" << n + 1 << " states " << f << ", a figure that a new table row moves: "
                    << "say it without the figure (the tables' output shows it)";
            }
    }
}

// The register fields and bits the documents name (reg::namespace::name)
// are the map's, so a renamed field cannot leave a document behind.
TEST(GeneratedDocs, DocumentsNameRegistersOfTheMap) {
    const std::string regs = generated::read_text(generated::source_path("meminit/hw/regs.h"));
    std::set<std::string> named;  // "namespace::name" as regs.h declares them
    std::string ns;
    for (const std::string& l : generated::split_lines(regs)) {
        std::smatch m;
        if (std::regex_search(l, m, std::regex(R"(^namespace (\w+) \{)"))) ns = m[1];
        if (l.rfind("}  // namespace", 0) == 0) ns.clear();
        if (!ns.empty() && std::regex_search(l, m, std::regex(R"(^constexpr \w+ (\w+)(\[\])?[{ =])")))
            named.insert(ns + "::" + m[1].str());
    }
    ASSERT_TRUE(named.count("clkgen::rate")) << "regs.h read wrongly";
    size_t checked = 0;
    for (const char* doc : {"docs/maintaining.md", "docs/tovmem.md", "docs/troubleshooting.md", "README.md"}) {
        const std::string text = generated::read_text(generated::source_path(doc));
        static const std::regex use(R"(reg::(\w+::\w+))");
        for (auto m = std::sregex_iterator(text.begin(), text.end(), use); m != std::sregex_iterator(); ++m, ++checked)
            EXPECT_TRUE(named.count((*m)[1])) << doc << " names reg::" << (*m)[1] << ", which regs.h does not declare";
    }
    EXPECT_GT(checked, 0u);
}

}  // namespace
}  // namespace tov::test::generated_docs_test
