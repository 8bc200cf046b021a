// kvopt: the command-line companion of the Kelvaro Model Interface.
#include "commands.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"kvopt: read, check, change and run Kelvaro options files"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("kvopt (Kelvaro Model Interface) ") + KV_VERSION);
    app.footer("kv-gui.ini is read where the interface keeps it (kvgui --help names it). "
               "Exit status: 0 usable or written, 1 refused or failed, 2 usage error.");
    kvopt::Globals globals;
    std::error_code ec;
    globals.startDir = std::filesystem::current_path(ec);
    kvopt::path_argument(app.add_option("--model-dir", globals.modelDir,
                                        "Model directory (default: from kv-gui.ini, else the "
                                        "current directory)"),
                         globals);
    kvopt::path_argument(
        app.add_option("--data-dir", globals.dataDir, "Data directory (default: as --model-dir)"),
        globals);

    kvopt::register_options_commands(app, globals);
    kvopt::register_refdb_commands(app, globals);
    kvopt::register_run_commands(app, globals);
    kvopt::register_batch_commands(app, globals);
    kvopt::register_set_commands(app, globals);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : kvopt::kUsage;
    }
    return globals.exitCode;
}
