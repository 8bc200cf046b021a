#pragma once

#include "optionsfile/reference_db.h"

#include <cstddef>
#include <functional>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace kv {

// A table the program reads from the reference database: its name and its columns, the
// first column being the key.
struct TableSpec {
    std::string name;
    std::vector<std::string> columns;
};

// Counties (FIPS, COUNTY) and Equipment Types (SCC, EQUIP, CLASSIFICATION, Engine Type).
const std::vector<TableSpec>& reference_schema();

// Reads a whole table of a source database by name. Throws ReferenceDbError (3078) when
// the table is missing.
using TableReader = std::function<RecordSet(const std::string& table)>;

struct CopiedTable {
    std::string name;
    std::size_t rows = 0;    // rows stored
    std::size_t skipped = 0; // rows left out because their key repeats an earlier row's
};

// Creates the tables of `schema` in `db` and fills them through `read`, taking each
// table's columns by name without regard to case (3265 when one is missing). Every column
// is TEXT COLLATE NOCASE, so "=" ignores case as Jet's does and agrees with the Like
// matcher; the key is the primary key, so a look-up by key is an index search. A key that
// repeats an earlier one (without regard to case) keeps the first row, which is the row
// the program's look-ups would take anyway. All in one transaction.
std::vector<CopiedTable> copy_reference_tables(sqlite3* db, const std::vector<TableSpec>& schema,
                                               const TableReader& read);

// Reads any table of a SQLite file connection as text (NULL as empty text).
RecordSet read_sqlite_table(sqlite3* db, const std::string& table);

} // namespace kv
