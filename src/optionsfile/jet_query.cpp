#include "optionsfile/jet_query.h"

namespace kv {

// Placeholder: the translation lands with the SQLite back-end.
JetQuery& JetQuery::append(std::string_view constantText) {
    text_ += constantText;
    sql_ += constantText;
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
