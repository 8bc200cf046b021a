#include "shell/reports.h"

#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

namespace kv {

namespace {

std::string database_path(const Session& session) {
    return session.join(reports_dir(session), "reports.mdb");
}

std::string access_ini_path(const Session& session) {
    return session.join(reports_dir(session), "kelvaro.ini");
}

} // namespace

std::string reports_dir(const Session& session) {
    return session.join(session.settings.modeldir, "reports");
}

std::string reports_command_line(const Session& session) {
    return session.settings.accessexe + " " + database_path(session) + " /ini " +
           access_ini_path(session);
}

LaunchRequest reports_launch_request(const Session& session) {
    LaunchRequest r;
    r.program = session.settings.accessexe;
    r.arguments = {database_path(session), "/ini", access_ini_path(session)};
    r.workingDirectory = reports_dir(session);
    return r;
}

bool launch_reports(Session& session) {
    // The reports directory stays current afterwards. When it cannot be made current the
    // tool is still started, from the directory it names.
    make_current(reports_dir(session));
    LaunchRequest request = reports_launch_request(session);
    request.workingDirectory = resolve_existing_path(request.workingDirectory);
    if (session.launcher.startDetached(request).started)
        return true;
    session.message("Problem starting the Reporting Utility\nCommand string: \n\n" +
                        lower(reports_command_line(session)) +
                        "\n\nMake sure all of the compenents exist and are in the correct path.",
                    MessageIcon::Exclamation);
    return false;
}

} // namespace kv
