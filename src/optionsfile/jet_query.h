#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kv {

// A query of the reference database in the Jet SQL the program has always used, kept in
// two forms: the exact Jet text (what the log shows) and a SQLite text in which every
// literal is a bound parameter. Values taken from files go in through appendQuoted(), so no
// text from an options file ever becomes part of the SQL itself.
//
// Translation of constant text: "SELECT DISTINCTROW" loses DISTINCTROW (both tables have
// unique keys, so the rows are the same), "..." and '...' literals become parameters,
// [bracketed names] pass unchanged. LIKE runs through the Access pattern matcher that the
// SQLite back-end registers as like().
class JetQuery {
public:
    JetQuery() = default;
    explicit JetQuery(std::string_view constantText) { append(constantText); }

    // Constant query text. Its quotes must pair up within the piece.
    JetQuery& append(std::string_view constantText);
    // A literal value: "value" in the Jet text, one parameter in the SQLite text.
    JetQuery& appendQuoted(std::string_view value);

    const std::string& text() const { return text_; }
    const std::string& sql() const { return sql_; }
    const std::vector<std::string>& parameters() const { return parameters_; }

private:
    std::string text_;
    std::string sql_;
    std::vector<std::string> parameters_;
};

} // namespace kv
