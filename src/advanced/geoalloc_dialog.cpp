#include "advanced/geoalloc_dialog.h"

#include "advanced/alloc_tables.h"
#include "advanced/file_search.h"
#include "optionsfile/scenario.h"
#include "shell/current_dir.h"
#include "shell/dialog_helpers.h"
#include "shell/session.h"
#include "shell/text.h"

#include <memory>

namespace kv {

namespace {

constexpr std::string_view kTitle = "Select Allocation file";
constexpr std::string_view kFilter = "ALLOC (*.alo)|*.alo|XREF (*.xrf)|*.xrf|All files (*.*)|*.*";
constexpr int kAllocFilter = 1;
constexpr int kXrefFilter = 2;
// The codes that name a label; the table's further entries pair with nothing.
constexpr int kLastCode = 19;

} // namespace

std::string alloc_descriptor(std::string_view path) {
    // Only the file name counts: an underscore in a folder's name says nothing of the file.
    const std::string name = file_name_part(path);
    const auto underscore = name.find('_');
    if (underscore == std::string::npos)
        return std::string(GeoAllocDialog::kDefaultDescriptor);
    const std::string code = lower(std::string_view(name).substr(underscore));
    for (int n = 1; n <= kLastCode; ++n) {
        if (code == lower(alloc_code(n)))
            return std::string(alloc_label(n));
    }
    return std::string(GeoAllocDialog::kDefaultDescriptor);
}

GeoAllocDialog::GeoAllocDialog(Session& session) : session_(session) {
    listener_ = session_.onScenarioReplacing([this] { discardEdits(); });
}

GeoAllocDialog::~GeoAllocDialog() {
    session_.removeListener(listener_);
}

void GeoAllocDialog::load() {
    open_ = true;
    listchanged_ = false;
    txtalloc_ = session_.scenario.runfiles[kAllocXref];
    seledit_.clear();
    refill();
}

std::vector<std::string> GeoAllocDialog::lines() const {
    std::vector<std::string> result;
    for (const auto& entry : session_.scenario.allocfiles_saved)
        result.push_back(entry->allocfile);
    return result;
}

void GeoAllocDialog::refill() {
    selection_.reset(session_.scenario.allocfiles_saved.size());
}

void GeoAllocDialog::click() {
    const auto& saved = session_.scenario.allocfiles_saved;
    if (const auto line = selection_.current(); line && *line < saved.size())
        seledit_ = saved.at(*line)->allocfile;
}

FileDialogRequest GeoAllocDialog::addRequest() const {
    FileDialogRequest request;
    request.title = std::string(kTitle);
    request.filter = std::string(kFilter);
    request.filterIndex = kAllocFilter;
    request.initialDir = data_folder(session_, "ALLOCATE");
    return request;
}

FileDialogRequest GeoAllocDialog::lookupRequest() const {
    FileDialogRequest request = addRequest();
    request.filterIndex = kXrefFilter;
    request.initialDir = data_folder(session_, "allocate");
    return request;
}

void GeoAllocDialog::add() {
    if (const auto path = choose_file(session_, addRequest(), false))
        addFile(*path);
}

bool GeoAllocDialog::addFile(const std::string& path, bool checkExistence) {
    if (refused_for_line_break(session_, path))
        return false;
    if (checkExistence && !directory_search_finds(path, session_.programDir)) {
        session_.message(path + std::string(kAddMissing));
        listchanged_ = true;
        return false;
    }
    make_program_dir_current(session_);
    auto entry = std::make_shared<AllocCls>(AllocCls{alloc_descriptor(path), path});
    if (!session_.scenario.allocfiles_saved.add(std::move(entry), path)) {
        session_.message(std::string(kDuplicateKey));
        return false;
    }
    refill();
    listchanged_ = true;
    return true;
}

void GeoAllocDialog::del() {
    auto& saved = session_.scenario.allocfiles_saved;
    for (std::size_t line : selection_.selectedLastFirst()) {
        if (line < saved.size())
            saved.removeAt(line);
    }
    seledit_.clear(); // it showed a line that is gone
    refill();
    listchanged_ = true;
}

void GeoAllocDialog::replace() {
    auto& saved = session_.scenario.allocfiles_saved;
    const auto line = selection_.current();
    if (!line || *line >= saved.size())
        return;
    const std::size_t p = *line;
    const std::string path = seledit_;
    if (refused_for_line_break(session_, path))
        return;
    if (!directory_search_finds(path, session_.programDir)) {
        session_.message(path + std::string(kNotFound));
        return;
    }
    const auto old = saved.at(p);
    if (path == old->allocfile)
        return;
    // The entry keeps its place and its descriptor; only the file changes.
    if (!saved.insert(p, std::make_shared<AllocCls>(AllocCls{old->descriptor, path}), path)) {
        session_.message(path + std::string(kAlreadySelected));
        return;
    }
    saved.removeAt(p + 1);
    refill();
    listchanged_ = true;
}

void GeoAllocDialog::changeLookup() {
    const auto path = choose_file(session_, lookupRequest(), true);
    if (!path)
        return;
    setTxtalloc(*path);
    make_program_dir_current(session_);
}

bool GeoAllocDialog::ok(bool checkLookup) {
    if (checkLookup && !directory_search_finds(txtalloc_, session_.programDir)) {
        session_.message(txtalloc_ + std::string(kLookupMissing));
        return false;
    }
    Scenario& sc = session_.scenario;
    sc.runfiles[kAllocXref] = txtalloc_;
    cancelled_ = false;
    sc.changed_alloc = true;
    return true;
}

void GeoAllocDialog::unload() {
    open_ = false;
    Scenario& sc = session_.scenario;
    if (cancelled_) {
        copy_file_collection(sc.allocfiles, sc.allocfiles_saved);
        return;
    }
    copy_file_collection(sc.allocfiles_saved, sc.allocfiles);
    if (listchanged_) {
        // The close button commits a changed list as OK does, so the save writes it.
        sc.changed_alloc = true;
        session_.message(std::string(kRegionNote), MessageIcon::Exclamation);
    }
}

void GeoAllocDialog::discardEdits() {
    if (!open_)
        return;
    open_ = false;
    Scenario& sc = session_.scenario;
    copy_file_collection(sc.allocfiles, sc.allocfiles_saved);
}

} // namespace kv
