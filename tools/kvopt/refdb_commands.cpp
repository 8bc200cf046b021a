// refdb-import, refdb-export and refdb-from-csv: make and inspect reference databases.
#include "commands.h"
#include "optionsfile/csv.h"
#include "optionsfile/reference_files.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace kvopt {

namespace {

// Runs a command body, turning any failure into a line on standard error and status 1.
template <typename Fn> void run(Globals& globals, Fn body) {
    try {
        body();
        globals.exitCode = kOk;
    } catch (const kv::ReferenceDbError& e) {
        std::cerr << "kvopt: " << e.describe() << " (error " << e.number() << ")\n";
        globals.exitCode = kRefused;
    } catch (const std::exception& e) {
        std::cerr << "kvopt: " << e.what() << '\n';
        globals.exitCode = kRefused;
    }
}

// Quiet on success, as a build step should be; rows left out are worth a word.
void report(const std::vector<kv::CopiedTable>& copied) {
    for (const auto& t : copied) {
        if (t.skipped > 0)
            std::cerr << "kvopt: " << t.name << ": " << t.skipped
                      << " rows left out, their key repeats an earlier row's\n";
    }
}

} // namespace

void register_refdb_commands(CLI::App& app, Globals& globals) {
    // The values the options fill live as long as the callbacks, which the app keeps.
    struct Args {
        std::string in, out, db, table, counties, equipment;
    };
    const auto shared = std::make_shared<Args>();
    Args& args = *shared;

    auto* import = app.add_subcommand(
        "refdb-import", "Copy the Counties and Equipment Types tables of a reference database "
                        "(.mdb or SQLite) into a new SQLite file, e.g. reports/reports.sqlite");
    import->add_option("IN", args.in, "Reference database to read (.mdb or SQLite)")->required();
    import->add_option("OUT", args.out, "SQLite file to write")->required();
    import->callback([&globals, shared] {
        run(globals, [&] { report(kv::import_reference_db(shared->in, shared->out));
});
} // namespace kvopt
);

auto* exporter = app.add_subcommand(
    "refdb-export", "Print a table of a database (.mdb or SQLite) as CSV (RFC 4180: "
                    "header row, CRLF line ends, quotes only where needed)");
exporter->add_option("DB", args.db, "Database file (.mdb or SQLite)")->required();
exporter->add_option("TABLE", args.table, "Table name, any case")->required();
exporter->callback([&globals, shared] {
    run(globals, [&] {
        const kv::DatabaseFile file(shared->db);
        const kv::RecordSet table = file.readTable(shared->table);
#ifdef _WIN32
        // CRLF is written as it is; a text-mode stdout would make it CR CR LF.
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        kv::write_csv(std::cout, table);
        std::cout.flush();
        if (!std::cout)
            throw std::runtime_error("cannot write the output");
    });
});

auto* fromCsv = app.add_subcommand(
    "refdb-from-csv", "Build a SQLite reference database from the counties and equipment "
                      "types CSV files (RFC 4180, header row)");
fromCsv->add_option("COUNTIES", args.counties, "CSV with columns FIPS, COUNTY")->required();
fromCsv
    ->add_option("EQUIPMENT", args.equipment,
                 "CSV with columns SCC, EQUIP, CLASSIFICATION, Engine Type")
    ->required();
fromCsv->add_option("OUT", args.out, "SQLite file to write")->required();
fromCsv->callback([&globals, shared] {
    run(globals, [&] {
        report(kv::reference_db_from_csv(shared->counties, shared->equipment, shared->out));
    });
});
}

} // namespace kvopt
