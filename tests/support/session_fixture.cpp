#include "support/session_fixture.h"

#include "optionsfile/reader.h"

#include <sstream>

namespace kv::test {

SessionTest::SessionTest() {
    refdbs.db = demo_reference_data();
    session = std::make_unique<Session>(ui, launcher, refdbs, dir.path(), PathRules::posix());
    session->settings.modeldir = "/model";
    session->settings.datadir = "/data";
    session->log.attach(logStream);
}

ReadOutcome SessionTest::readText(const std::string& text, const std::string& name) {
    sc().optdir = dir.str();
    sc().optfile = name;
    std::istringstream in(text);
    return read_options_stream(*session, in, session->join(sc().optdir, sc().optfile));
}

std::vector<std::string> SessionTest::logLines() const {
    return text_lines(logStream.str());
}

} // namespace kv::test
