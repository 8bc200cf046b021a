#pragma once

#include "optionsfile/reference_db.h"
#include "shell/ports.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace kv::test {

// A Launcher that records requests and answers with a scripted result.
class RecordingLauncher : public Launcher {
public:
    LaunchResult startDetached(const LaunchRequest& request) override {
        detached.push_back(request);
        return result;
    }
    LaunchResult runAndWait(const LaunchRequest& request) override {
        waited.push_back(request);
        return result;
    }
    std::vector<LaunchRequest> detached;
    std::vector<LaunchRequest> waited;
    LaunchResult result{true, 0, false, {}};
};

// A reference database held in memory: the region and SCC look-ups of the reader are
// answered from two maps, keyed by the literal the query carries. Any other query (the
// dialogs' Like queries) runs on a real in-memory database made from the two maps when the
// first such query comes. Every query is recorded.
class FakeReferenceDb : public ReferenceDb {
public:
    RecordSet query(const JetQuery& query) override;

    std::map<std::string, std::string> counties; // FIPS -> COUNTY
    struct Equipment {
        std::string equip, classification, engineType;
    };
    std::map<std::string, Equipment> equipment; // SCC -> columns
    std::vector<std::string> queries;           // the Jet texts, in order
    std::string failOnParameter;                // a query with this parameter throws

private:
    std::shared_ptr<ReferenceDb> tables_;
    std::pair<std::size_t, std::size_t> tablesFrom_; // the maps as tables, for the other queries
};

// Opens a FakeReferenceDb, or fails with a scripted error.
class FakeReferenceDbOpener : public ReferenceDbOpener {
public:
    std::shared_ptr<ReferenceDb> open(const std::string& path) override;

    std::shared_ptr<FakeReferenceDb> db = std::make_shared<FakeReferenceDb>();
    bool fail = false;
    std::vector<std::string> openedPaths;
};

// The demo's reference data (counties.csv and equipment_types.csv of the repository) loaded
// into a FakeReferenceDb.
std::shared_ptr<FakeReferenceDb> demo_reference_data();

} // namespace kv::test
