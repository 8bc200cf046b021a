#include "optionsfile/jet_query.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

struct TranslationCase {
    const char* jet;
    const char* sql;
    std::vector<std::string> parameters;
};

TEST(JetQuery, TranslatesConstantText) {
    const TranslationCase cases[] = {
        {"SELECT DISTINCTROW  [Equipment Types].SCC FROM [Equipment Types] WHERE (SCC=\"22\");",
         "SELECT   [Equipment Types].SCC FROM [Equipment Types] WHERE (SCC=?);",
         {"22"}},
        {"select distinctrow x from t", "select  x from t", {}},
        {"Select DistinctRow x from t", "Select  x from t", {}},
        // Not the keyword: other words, bracketed names and literals keep it.
        {"SELECT DISTINCTROWS, X_DISTINCTROW, [DISTINCTROW] FROM t",
         "SELECT DISTINCTROWS, X_DISTINCTROW, [DISTINCTROW] FROM t",
         {}},
        {"SELECT a FROM t WHERE b = \"SELECT DISTINCTROW\"",
         "SELECT a FROM t WHERE b = ?",
         {"SELECT DISTINCTROW"}},
        {"WHERE a = \"say \"\"hi\"\"\" AND b = 'it''s'",
         "WHERE a = ? AND b = ?",
         {"say \"hi\"", "it's"}},
        {"WHERE a = \"\" OR b = ''", "WHERE a = ? OR b = ?", {"", ""}},
        {"WHERE a = \"it's\" AND b = 'say \"x\"'", "WHERE a = ? AND b = ?", {"it's", "say \"x\""}},
        {"SELECT [it's \"here\"] FROM t", "SELECT [it's \"here\"] FROM t", {}},
        {"WHERE (([Equipment Types].SCC Like \"2282######\" And [Equipment Types].SCC <> "
         "\"2282000000\" And [Equipment Types].[Engine Type] <> \"Diesel\"));",
         "WHERE (([Equipment Types].SCC Like ? And [Equipment Types].SCC <> ? And "
         "[Equipment Types].[Engine Type] <> ?));",
         {"2282######", "2282000000", "Diesel"}},
        // An open quote is left for the engine to report, not guessed at.
        {"WHERE a = \"open", "WHERE a = \"open", {}},
    };
    for (const auto& c : cases) {
        const JetQuery q(c.jet);
        EXPECT_EQ(q.text(), c.jet);
        EXPECT_EQ(q.sql(), c.sql) << c.jet;
        EXPECT_EQ(q.parameters(), c.parameters) << c.jet;
    }
}

TEST(JetQuery, QuotedValuesBecomeParametersInOrder) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties");
    q.append(" WHERE((Counties.FIPS like ")
        .appendQuoted("06###")
        .append(") AND (Counties.COUNTY not like \"The State*\"));");
    EXPECT_EQ(q.text(), "SELECT DISTINCTROW Counties.COUNTY, Counties.FIPS FROM Counties "
                        "WHERE((Counties.FIPS like \"06###\") AND (Counties.COUNTY not like "
                        "\"The State*\"));");
    EXPECT_EQ(q.sql(), "SELECT  Counties.COUNTY, Counties.FIPS FROM Counties WHERE((Counties.FIPS "
                       "like ?) AND (Counties.COUNTY not like ?));");
    EXPECT_EQ(q.parameters(), (std::vector<std::string>{"06###", "The State*"}));
}

TEST(JetQuery, ValueFromAFileNeverBecomesSql) {
    JetQuery q("SELECT DISTINCTROW Counties.COUNTY FROM Counties WHERE(Counties.FIPS=");
    q.appendQuoted("1\") OR (1=1").append(");");
    EXPECT_EQ(q.text(), "SELECT DISTINCTROW Counties.COUNTY FROM Counties "
                        "WHERE(Counties.FIPS=\"1\") OR (1=1\");");
    EXPECT_EQ(q.sql(), "SELECT  Counties.COUNTY FROM Counties WHERE(Counties.FIPS=?);");
    EXPECT_EQ(q.parameters(), std::vector<std::string>{"1\") OR (1=1"});
}

} // namespace
} // namespace kv
