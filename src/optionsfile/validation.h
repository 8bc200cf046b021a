#pragma once

#include "optionsfile/jet_query.h"
#include "optionsfile/scenario.h"

#include <optional>
#include <string>
#include <string_view>

namespace kv {

class Session;

// Opens the model's reference database into `session.refdb`. On failure shows the engine's
// text, the path tried and the error number, run together, and answers false.
bool open_reference_db(Session& session);
// Releases the database opened by open_reference_db.
void close_reference_db(Session& session);

// The region look-up and the SCC look-up, as logged and as run.
JetQuery region_query(std::string_view code);
JetQuery scc_query(std::string_view scc);

// Checks every entry of `regions` against Counties: completes state and county entries,
// drops unknown codes silently and counties at a level without counties with one message
// that names them, and refreshes `regions_saved`. False when the reference database could
// not be opened (the message has been shown).
bool validate_region(Session& session);

// Looks one /SOURCE CATEGORY/ code up in the open database: the completed entry, or nullopt
// when the code is not there. Throws ReferenceDbError when the query fails.
std::optional<SourceEntry> check_scc(Session& session, const std::string& scc);

} // namespace kv
