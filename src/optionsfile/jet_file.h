#pragma once

#include "optionsfile/reference_db.h"

#include <memory>
#include <string>
#include <vector>

namespace kv {

// An Access database file (Jet 3 or Jet 4), opened read-only through mdbtools' libmdb.
//
// Values arrive as text: text and memo columns in UTF-8 (libmdb converts Jet 3 text from
// the code page named by MDB_JET3_CHARSET, CP1252 unless set), numbers as libmdb prints
// them (Currency with four decimals, Single with eight significant digits), Yes/No as 1 or 0,
// dates as "YYYY-MM-DD HH:MM:SS" computed here from the stored day count (libmdb's own text
// has two-digit years and cannot show years before 1900), OLE and binary columns as upper-case
// hexadecimal, NULL as empty text. libmdb writes its own complaints about a damaged file to
// standard error; the errors thrown here say what went wrong in one line.
class JetFile {
public:
    // Throws ReferenceDbError with the path: 3343 when the file is not an Access database,
    // 3049 when it is truncated or its catalog cannot be read.
    explicit JetFile(const std::string& path);
    ~JetFile();
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;

    const std::string& path() const { return path_; }

    // The user tables in catalog order; the system tables (MSys*, hidden) are left out.
    std::vector<std::string> tableNames() const;

    // Every row of a table found by name without regard to case. Throws 3078 when there is
    // no such table, 3049 when fewer rows can be read than the table declares (a truncated
    // file would otherwise look like a short table).
    RecordSet readTable(const std::string& name) const;

private:
    struct Impl;

    std::string path_;
    std::unique_ptr<Impl> impl_;
};

// The text of a Jet date value (days since 1899-12-30, the fraction the time of day; before
// that day the fraction still counts forward from midnight): "YYYY-MM-DD HH:MM:SS".
std::string jet_date_text(double value);

// True when the first bytes of a file are those of an Access database.
bool has_jet_signature(const std::string& header);

} // namespace kv
