#include "optionsfile/jet_file.h"

#include "optionsfile/sqlite_support.h"
#include "shell/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

// clang-format off
// glib must come before mdbtools.h in C++: mdbtools.h includes it inside extern "C".
#include <glib.h>
#include <mdbtools.h>
// clang-format on

namespace kv {

namespace {

struct HandleCloser {
    void operator()(MdbHandle* h) const { mdb_close(h); }
};
struct TableFreer {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
struct MallocFreer {
    void operator()(void* p) const { std::free(p); }
};
using MdbHandlePtr = std::unique_ptr<MdbHandle, HandleCloser>;
using MdbTablePtr = std::unique_ptr<MdbTableDef, TableFreer>;

// libmdb converts every text value into a fresh buffer of the bind size and cuts memo values
// at it. Reading starts with its default, which any text column fits, and a table whose memo
// value fills the buffer is read again with a larger one. The buffer also carries OLE data
// a page at a time, so it never goes below a page.
constexpr std::size_t kFirstBindSize = 16384;
constexpr std::size_t kLastBindSize = 16384 * 64; // memo values past 1 MB of UTF-8 are cut

constexpr std::size_t kJet3PageSize = 2048;
constexpr std::size_t kJetPageSize = 4096;
constexpr std::size_t kVersionOffset = 0x14;
constexpr unsigned long kCatalogPage = 2;

std::string hex_text(const unsigned char* data, std::size_t size) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0x0F];
    }
    return out;
}

MdbCatalogEntry* catalog_entry(MdbHandle* h, unsigned i) {
    return static_cast<MdbCatalogEntry*>(g_ptr_array_index(h->catalog, i));
}

MdbColumn* column_at(MdbTableDef* t, unsigned i) {
    return static_cast<MdbColumn*>(g_ptr_array_index(t->columns, i));
}

// Reads every row of a table whose columns have been read, handing each one's bound texts
// and their lengths to `row`.
template <typename RowFn> std::size_t scan_table(MdbHandle* h, MdbTableDef* t, RowFn row) {
    mdb_rewind_table(t);
    const unsigned ncols = t->num_cols;
    std::vector<std::vector<char>> buffers(ncols, std::vector<char>(h->bind_size));
    std::vector<int> lengths(ncols, 0);
    for (unsigned j = 0; j < ncols; ++j)
        mdb_bind_column(t, static_cast<int>(j + 1), buffers[j].data(), &lengths[j]);
    std::size_t count = 0;
    while (mdb_fetch_row(t)) {
        row(buffers, lengths);
        ++count;
    }
    return count;
}

ReferenceDbError damaged(const std::string& what, const std::string& path) {
    return ReferenceDbError(
        "Damaged or truncated Access database (" + what + "): ", refdb_error::kDamaged, path);
}

// One pass over a table at the handle's bind size; tells when a memo value filled it.
RecordSet read_rows(MdbHandle* h, MdbTableDef* t, const std::string& path, bool& memoFilled) {
    RecordSet rs;
    for (unsigned j = 0; j < t->num_cols; ++j)
        rs.columns.emplace_back(column_at(t, j)->name);
    // A value stored in the row itself must lie inside the page buffer it is read from.
    const auto in_page = [&](const MdbColumn* col, std::size_t size) {
        return col->cur_value_start >= 0 &&
               static_cast<std::size_t>(col->cur_value_start) + size <= sizeof h->pg_buf;
    };
    const std::size_t read = scan_table(h, t, [&](const auto& buffers, const auto& lengths) {
        std::vector<std::string> row;
        row.reserve(t->num_cols);
        for (unsigned j = 0; j < t->num_cols; ++j) {
            MdbColumn* col = column_at(t, j);
            const int len = lengths[j];
            if (col->col_type == MDB_BINARY) {
                // The bound text of a binary value stops at its first zero byte.
                const auto size = static_cast<std::size_t>(std::max(col->cur_value_len, 0));
                row.push_back(size > 0 && in_page(col, size)
                                  ? hex_text(h->pg_buf + col->cur_value_start, size)
                                  : std::string());
            } else if (len <= 0) {
                row.emplace_back(); // NULL or empty
            } else if (col->col_type == MDB_DATETIME && in_page(col, sizeof(double))) {
                row.push_back(jet_date_text(mdb_get_double(h->pg_buf, col->cur_value_start)));
            } else if (col->col_type == MDB_OLE) {
                std::size_t size = 0;
                std::unique_ptr<void, MallocFreer> data(mdb_ole_read_full(h, col, &size));
                row.push_back(data ? hex_text(static_cast<unsigned char*>(data.get()), size)
                                   : std::string());
            } else {
                // A memo cut at the buffer ends within a character of its end.
                if (col->col_type == MDB_MEMO && static_cast<std::size_t>(len) + 4 >= h->bind_size)
                    memoFilled = true;
                row.emplace_back(buffers[j].data(), static_cast<std::size_t>(len));
            }
        }
        rs.rows.push_back(std::move(row));
    });
    if (read < t->num_rows)
        throw damaged("table [" + std::string(t->name) + "] cut short", path);
    return rs;
}

} // namespace

struct JetFile::Impl {
    MdbHandlePtr handle;
};

bool has_jet_signature(const std::string& header) {
    static const std::string magic("\x00\x01\x00\x00", 4);
    return header.size() >= 19 && header.compare(0, 4, magic) == 0 &&
           (header.compare(4, 15, "Standard Jet DB") == 0 ||
            header.compare(4, 15, "Standard ACE DB") == 0);
}

std::string jet_date_text(double value) {
    if (!std::isfinite(value) || std::fabs(value) > 3.0e6) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.16g", value);
        return buf;
    }
    long long days = static_cast<long long>(value); // toward zero
    long long seconds = std::llround(std::fabs(value - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++days;
    }
    // Civil date from a day count (proleptic Gregorian), counted from 0000-03-01.
    const long long z = days - 25569 + 719468; // 1899-12-30 is 25,569 days before 1970-01-01
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char buf[128];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", year, month, day,
                  seconds / 3600, (seconds / 60) % 60, seconds % 60);
    return buf;
}

JetFile::JetFile(const std::string& path) : path_(path), impl_(std::make_unique<Impl>()) {
    // libmdb trusts the file's layout; checking the signature and the page count first keeps
    // other files and cut-off copies away from it and gives a clearer message.
    std::ifstream in(path, std::ios::binary);
    std::string header(32, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    if (!has_jet_signature(header))
        throw ReferenceDbError("Not an Access database: ", refdb_error::kNotADatabase, path);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const std::size_t page = header.size() > kVersionOffset && header[kVersionOffset] == 0
                                 ? kJet3PageSize
                                 : kJetPageSize;
    if (ec || size < 3 * page || size % page != 0)
        throw damaged("not a whole number of pages", path);

    impl_->handle.reset(mdb_open(path.c_str(), MDB_NOFLAGS));
    MdbHandle* h = impl_->handle.get();
    if (!h)
        throw damaged("cannot read its header", path);
    mdb_set_bind_size(h, kFirstBindSize);
    // The catalog is itself a table, MSysObjects, whose definition is on page 2. Its rows
    // are counted before libmdb reads them as the catalog: fewer than the table declares
    // means the file was cut short, and libmdb would go on to read object properties from
    // pages that are not there, after which later tables would just seem to be missing.
    MdbCatalogEntry objectsEntry{};
    objectsEntry.mdb = h;
    objectsEntry.object_type = MDB_TABLE;
    objectsEntry.table_pg = kCatalogPage;
    std::snprintf(objectsEntry.object_name, sizeof objectsEntry.object_name, "MSysObjects");
    {
        MdbTablePtr objects(mdb_read_table(&objectsEntry));
        if (!objects || !mdb_read_columns(objects.get()))
            throw damaged("cannot read its catalog", path);
        // Counted without binding any column: nothing is converted to text.
        mdb_rewind_table(objects.get());
        std::size_t read = 0;
        while (mdb_fetch_row(objects.get()))
            ++read;
        if (read < objects->num_rows)
            throw damaged("catalog cut short", path);
    }
    if (!mdb_read_catalog(h, MDB_TABLE))
        throw damaged("cannot read its catalog", path);
}

JetFile::~JetFile() = default;

std::vector<std::string> JetFile::tableNames() const {
    MdbHandle* h = impl_->handle.get();
    std::vector<std::string> names;
    for (unsigned i = 0; i < h->num_catalog; ++i) {
        MdbCatalogEntry* entry = catalog_entry(h, i);
        if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry) &&
            !std::string_view(entry->object_name).starts_with("MSys"))
            names.emplace_back(entry->object_name);
    }
    return names;
}

RecordSet JetFile::readTable(const std::string& name) const {
    MdbHandle* h = impl_->handle.get();
    MdbCatalogEntry* found = nullptr;
    for (unsigned i = 0; i < h->num_catalog && !found; ++i) {
        MdbCatalogEntry* entry = catalog_entry(h, i);
        if (entry->object_type == MDB_TABLE && iequals(entry->object_name, name))
            found = entry;
    }
    if (!found)
        throw ReferenceDbError("Table [" + name + "] not found in ", refdb_error::kMissingTable,
                               path_);
    MdbTablePtr table(mdb_read_table(found));
    if (!table)
        throw damaged("cannot read table [" + name + "]", path_);
    MdbTableDef* t = table.get();
    if (!mdb_read_columns(t))
        throw damaged("cannot read the columns of [" + name + "]", path_);

    for (std::size_t bind = kFirstBindSize;; bind *= 8) {
        mdb_set_bind_size(h, bind);
        bool memoFilled = false;
        RecordSet rs = read_rows(h, t, path_, memoFilled);
        if (!memoFilled || bind >= kLastBindSize)
            return rs;
    }
}

} // namespace kv
