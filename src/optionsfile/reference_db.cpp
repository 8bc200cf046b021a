#include "optionsfile/reference_db.h"

#include "shell/text.h"

namespace kv {

std::optional<std::size_t> RecordSet::column(std::string_view name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (iequals(columns[i], name))
            return i;
    }
    return std::nullopt;
}

const std::string& RecordSet::value(std::size_t row, std::string_view name) const {
    const auto col = column(name);
    if (!col)
        throw ReferenceDbError("Item not found in this collection.", 3265);
    return rows.at(row).at(*col);
}

// Placeholder: the SQLite and Access back-ends land next.
std::string reference_db_path(const std::string& modeldir, char separator) {
    return modeldir + separator + "reports" + separator + "reports.mdb";
}

std::unique_ptr<ReferenceDbOpener> make_reference_db_opener() { return nullptr; }

} // namespace kv
