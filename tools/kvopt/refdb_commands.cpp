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
#else
#include <unistd.h>
#endif

namespace kvopt {

namespace {

#ifdef _WIN32
int dup_fd(int fd) {
    return _dup(fd);
}
void dup2_fd(int from, int to) {
    _dup2(from, to);
}
void close_fd(int fd) {
    _close(fd);
}
int stdout_fd() {
    return _fileno(stdout);
}
int stderr_fd() {
    return _fileno(stderr);
}
#else
int dup_fd(int fd) {
    return dup(fd);
}
void dup2_fd(int from, int to) {
    dup2(from, to);
}
void close_fd(int fd) {
    close(fd);
}
int stdout_fd() {
    return fileno(stdout);
}
int stderr_fd() {
    return fileno(stderr);
}
#endif

// libmdb prints some complaints about a damaged file on standard output, where they would
// end up inside the CSV. While a file is read, standard output goes to standard error.
class StdoutToStderr {
public:
    StdoutToStderr() {
        std::fflush(stdout);
        saved_ = dup_fd(stdout_fd());
        if (saved_ >= 0)
            dup2_fd(stderr_fd(), stdout_fd());
    }
    ~StdoutToStderr() {
        std::fflush(stdout);
        if (saved_ >= 0) {
            dup2_fd(saved_, stdout_fd());
            close_fd(saved_);
        }
    }
    StdoutToStderr(const StdoutToStderr&) = delete;
    StdoutToStderr& operator=(const StdoutToStderr&) = delete;

private:
    int saved_ = -1;
};

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

// The values the options fill; they live as long as the callbacks, which the app keeps.
struct RefdbArgs {
    std::string in, out, db, table, counties, equipment;
};

void add_import(CLI::App& app, Globals& globals, const std::shared_ptr<RefdbArgs>& args) {
    auto* cmd = app.add_subcommand(
        "refdb-import", "Copy the Counties and Equipment Types tables of a reference database "
                        "(.mdb or SQLite) into a new SQLite file, e.g. reports/reports.sqlite");
    path_argument(cmd->add_option("IN", args->in, "Reference database to read (.mdb or SQLite)"),
                  globals)
        ->required();
    path_argument(cmd->add_option("OUT", args->out, "SQLite file to write"), globals)->required();
    cmd->callback([&globals, args] {
        run(globals, [&] {
            const StdoutToStderr quiet;
            report(kv::import_reference_db(args->in, args->out));
        });
    });
}

void add_export(CLI::App& app, Globals& globals, const std::shared_ptr<RefdbArgs>& args) {
    auto* cmd = app.add_subcommand("refdb-export",
                                   "Print a table of a database (.mdb or SQLite) as CSV (RFC 4180: "
                                   "header row, CRLF line ends, quotes only where needed)");
    path_argument(cmd->add_option("DB", args->db, "Database file (.mdb or SQLite)"), globals)
        ->required();
    cmd->add_option("TABLE", args->table, "Table name, any case")->required();
    cmd->callback([&globals, args] {
        run(globals, [&] {
            const kv::RecordSet table = [&] {
                const StdoutToStderr quiet;
                return kv::DatabaseFile(args->db).readTable(args->table);
            }();
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
}

void add_from_csv(CLI::App& app, Globals& globals, const std::shared_ptr<RefdbArgs>& args) {
    auto* cmd = app.add_subcommand(
        "refdb-from-csv", "Build a SQLite reference database from the counties and equipment "
                          "types CSV files (RFC 4180, header row)");
    path_argument(cmd->add_option("COUNTIES", args->counties, "CSV with columns FIPS, COUNTY"),
                  globals)
        ->required();
    path_argument(cmd->add_option("EQUIPMENT", args->equipment,
                                  "CSV with columns SCC, EQUIP, CLASSIFICATION, Engine Type"),
                  globals)
        ->required();
    path_argument(cmd->add_option("OUT", args->out, "SQLite file to write"), globals)->required();
    cmd->callback([&globals, args] {
        run(globals,
            [&] { report(kv::reference_db_from_csv(args->counties, args->equipment, args->out)); });
    });
}

} // namespace

void register_refdb_commands(CLI::App& app, Globals& globals) {
    const auto args = std::make_shared<RefdbArgs>();
    add_import(app, globals, args);
    add_export(app, globals, args);
    add_from_csv(app, globals, args);
}

} // namespace kvopt
