#include "support/fakes.h"

#include "optionsfile/reference_schema.h"
#include "optionsfile/sqlite_reference_db.h"
#include "shell/text.h"

#include <fstream>
#include <sstream>

namespace kv::test {

RecordSet FakeReferenceDb::query(const JetQuery& q) {
    queries.push_back(q.text());
    const std::string param = q.parameters().empty() ? std::string() : q.parameters().front();
    if (!failOnParameter.empty() && param == failOnParameter)
        throw ReferenceDbError("Scripted failure", 3000);
    RecordSet rs;
    if (contains(q.text(), "FROM Counties WHERE(Counties.FIPS=")) {
        rs.columns = {"COUNTY"};
        if (auto it = counties.find(param); it != counties.end())
            rs.rows.push_back({it->second});
        return rs;
    }
    if (contains(q.text(), "FROM [Equipment Types] WHERE (SCC=")) {
        rs.columns = {"SCC", "EQUIP", "Engine Type", "Classification"};
        if (auto it = equipment.find(param); it != equipment.end())
            rs.rows.push_back(
                {it->first, it->second.equip, it->second.engineType, it->second.classification});
        return rs;
    }
    // A test may change the maps between queries: the copy follows them.
    const std::pair<std::size_t, std::size_t> sizes{counties.size(), equipment.size()};
    if (!tables_ || tablesFrom_ != sizes) {
        tablesFrom_ = sizes;
        tables_ = load_reference_db(reference_schema(), [this](const std::string& table) {
            RecordSet t;
            if (iequals(table, "Counties")) {
                t.columns = {"FIPS", "COUNTY"};
                for (const auto& [fips, county] : counties)
                    t.rows.push_back({fips, county});
            } else {
                t.columns = {"SCC", "EQUIP", "CLASSIFICATION", "Engine Type"};
                for (const auto& [scc, e] : equipment)
                    t.rows.push_back({scc, e.equip, e.classification, e.engineType});
            }
            return t;
        });
    }
    return tables_->query(q);
}

std::shared_ptr<ReferenceDb> FakeReferenceDbOpener::open(const std::string& path) {
    openedPaths.push_back(path);
    if (fail)
        throw ReferenceDbError("Could not find file ", 3024);
    return db;
}

namespace {

// Splits one CSV line of the demo files (no field of theirs needs quoting).
std::vector<std::string> split_csv(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, ','))
        fields.push_back(field);
    return fields;
}

} // namespace

std::shared_ptr<FakeReferenceDb> demo_reference_data() {
    auto db = std::make_shared<FakeReferenceDb>();
    std::ifstream counties(std::string(KV_SOURCE_DIR) + "/demo/counties.csv");
    std::string line;
    std::getline(counties, line);
    while (std::getline(counties, line)) {
        const auto f = split_csv(line);
        if (f.size() >= 2)
            db->counties[f[0]] = f[1];
    }
    std::ifstream equipment(std::string(KV_SOURCE_DIR) + "/demo/equipment_types.csv");
    std::getline(equipment, line);
    while (std::getline(equipment, line)) {
        const auto f = split_csv(line);
        if (f.size() >= 4)
            db->equipment[f[0]] = {f[1], f[2], f[3]};
    }
    return db;
}

} // namespace kv::test
