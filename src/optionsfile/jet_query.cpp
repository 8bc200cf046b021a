#include "optionsfile/jet_query.h"

#include "shell/text.h"

namespace kv {

namespace {

bool is_word_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

} // namespace

JetQuery& JetQuery::append(std::string_view constantText) {
    text_ += constantText;
    std::size_t i = 0;
    while (i < constantText.size()) {
        const char c = constantText[i];
        if (c == '"' || c == '\'') {
            // A literal: its quote doubled inside stands for one quote.
            std::string value;
            std::size_t j = i + 1;
            bool closed = false;
            while (j < constantText.size()) {
                if (constantText[j] == c) {
                    if (j + 1 < constantText.size() && constantText[j + 1] == c) {
                        value += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                value += constantText[j++];
            }
            if (!closed) {
                // Left as it is, SQLite reports the open quote as a syntax error when the
                // query runs; guessing where the literal ends could change the query.
                sql_ += constantText.substr(i);
                return *this;
            }
            sql_ += '?';
            parameters_.push_back(std::move(value));
            i = j + 1;
        } else if (c == '[') {
            // A bracketed name passes unchanged, quotes and keywords inside it included.
            const std::size_t close = constantText.find(']', i);
            const std::size_t end =
                close == std::string_view::npos ? constantText.size() : close + 1;
            sql_ += constantText.substr(i, end - i);
            i = end;
        } else if (is_word_char(c)) {
            std::size_t j = i;
            while (j < constantText.size() && is_word_char(constantText[j]))
                ++j;
            const std::string_view word = constantText.substr(i, j - i);
            // Both tables have unique keys, so DISTINCTROW selects the same rows as nothing.
            if (!iequals(word, "DISTINCTROW"))
                sql_ += word;
            i = j;
        } else {
            sql_ += c;
            ++i;
        }
    }
    return *this;
}

JetQuery& JetQuery::appendQuoted(std::string_view value) {
    text_ += '"';
    text_ += value;
    text_ += '"';
    sql_ += '?';
    parameters_.emplace_back(value);
    return *this;
}

} // namespace kv
