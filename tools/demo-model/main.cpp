// demo-model: a stand-in for the Kelvaro core model.
//
// It honours the core model's contract: started from the model directory with the options
// file's path as its one argument, it reads that file and writes the message file and the
// output data file that /RUNFILES/ names (MESSAGE, OUTPUT DATA), relative paths taken from
// the model directory. It checks what the file names (every input file and whether it
// exists, the period, the regions, the source categories) and reports that. It computes no
// emissions and writes no emission figures.
//
// Exit status: 0 when both files were written; 2 for a usage error; 3 when the options file
// cannot be read or is not usable (no /RUNFILES/, no MESSAGE or OUTPUT DATA name, a name that
// cannot be used here); 4 when the message or output data file cannot be written.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kUsage = 2;
constexpr int kUnusable = 3;
constexpr int kCannotWrite = 4;

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// The value of a labelled line: the text after its first colon, trimmed, case kept.
std::string value_of(const std::string& line) {
    const auto colon = line.find(':');
    return trim(colon == std::string::npos ? line : line.substr(colon + 1));
}

std::string label_of(const std::string& line) {
    const auto colon = line.find(':');
    return trim(colon == std::string::npos ? std::string() : line.substr(0, colon));
}

// The packets of the file: name (as "/NAME/") -> body lines. A later packet of the same name
// replaces an earlier one, as the interface's reader does.
std::map<std::string, std::vector<std::string>> read_packets(std::istream& in) {
    std::map<std::string, std::vector<std::string>> packets;
    std::string line;
    std::vector<std::string>* body = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string u = upper(trim(line));
        if (body != nullptr) {
            if (u.rfind("/END/", 0) == 0)
                body = nullptr;
            else
                body->push_back(line);
            continue;
        }
        if (u.size() > 2 && u.front() == '/') {
            const auto close = u.find('/', 1);
            if (close != std::string::npos && u.substr(0, close + 1) != "/END/") {
                body = &packets[u.substr(0, close + 1)];
                body->clear();
            }
        }
    }
    return packets;
}

// The path as it exists on disk: as spelled, or matched without regard to case component
// by component (a data tree copied from Windows keeps its capitals).
fs::path resolve(const fs::path& p) {
    std::error_code ec;
    if (fs::exists(p, ec))
        return p;
    fs::path current = p.is_absolute() ? p.root_path() : fs::path(".");
    bool matching = true;
    for (const auto& part : p.relative_path()) {
        fs::path candidate = current / part;
        if (matching && !fs::exists(candidate, ec)) {
            matching = false;
            for (const auto& entry : fs::directory_iterator(current, ec)) {
                if (upper(entry.path().filename().string()) == upper(part.string())) {
                    candidate = entry.path();
                    matching = true;
                    break;
                }
            }
        }
        // Past the first component that does not exist, the rest is kept as spelled.
        current = candidate;
    }
    return current;
}

// A path named in the options file, for this system: "\" read as "/", a relative path taken
// from the model directory. A drive letter cannot be used here.
std::optional<fs::path> local_path(std::string text, const fs::path& modelDir) {
    std::replace(text.begin(), text.end(), '\\', '/');
    if (text.size() >= 2 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':')
        return std::nullopt;
    const fs::path p(text);
    return resolve(p.is_absolute() ? p : modelDir / p);
}

struct InputFile {
    std::string role;
    std::string named;
    std::string status; // "found", "MISSING" or "cannot be used on this system"
};

std::string now_text() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &local);
    return buf;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OPTIONS-FILE\n", argc > 0 ? argv[0] : "demo-model");
        return kUsage;
    }
    const std::string optionsPath = argv[1];
    std::error_code ec;
    const fs::path modelDir = fs::current_path(ec);

    std::ifstream in(resolve(optionsPath), std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "demo-model: cannot read the options file %s\n", optionsPath.c_str());
        return kUnusable;
    }
    const auto packets = read_packets(in);

    const auto runfiles = packets.find("/RUNFILES/");
    if (runfiles == packets.end()) {
        std::fprintf(stderr, "demo-model: %s has no /RUNFILES/ packet: not an options file\n",
                     optionsPath.c_str());
        return kUnusable;
    }

    // Run files by descriptor: the outputs, and the inputs to check.
    static const char* const kOutputs[] = {"MESSAGE", "OUTPUT DATA",     "EPS2 AMS",
                                           "NET",     "EXHAUST BMY OUT", "EVAP BMY OUT"};
    std::map<std::string, std::string> outputs;
    std::vector<InputFile> inputs;
    auto add_input = [&](const std::string& role, const std::string& named) {
        if (named.empty())
            return;
        const auto p = local_path(named, modelDir);
        inputs.push_back({role, named,
                          !p                   ? "cannot be used on this system"
                          : fs::exists(*p, ec) ? "found"
                                               : "MISSING"});
    };
    for (const auto& line : runfiles->second) {
        const std::string descriptor =
            upper(trim(line.substr(0, std::min<std::size_t>(16, line.size()))));
        if (descriptor.empty())
            continue;
        const bool isOutput =
            std::find(std::begin(kOutputs), std::end(kOutputs), descriptor) != std::end(kOutputs);
        if (isOutput)
            outputs[descriptor] = value_of(line);
        else
            add_input(descriptor, value_of(line));
    }
    for (const char* name : {"/POP FILES/", "/ALLOC FILES/", "/GROWTH FILES/", "/EMFAC FILES/",
                             "/DETERIORATE FILES/", "/DAILY FILES/"}) {
        if (const auto it = packets.find(name); it != packets.end()) {
            for (const auto& line : it->second)
                add_input(label_of(line), value_of(line));
        }
    }

    const std::string msgName = outputs["MESSAGE"];
    const std::string outName = outputs["OUTPUT DATA"];
    if (msgName.empty() || outName.empty()) {
        std::fprintf(stderr, "demo-model: %s names no %s file in /RUNFILES/\n", optionsPath.c_str(),
                     msgName.empty() ? "MESSAGE" : "OUTPUT DATA");
        return kUnusable;
    }
    const auto msgPath = local_path(msgName, modelDir);
    const auto outPath = local_path(outName, modelDir);
    if (!msgPath || !outPath) {
        std::fprintf(stderr, "demo-model: the output names of %s cannot be used on this system\n",
                     optionsPath.c_str());
        return kUnusable;
    }

    std::ostringstream msg;
    msg << "KELVARO STAND-IN CORE MODEL\r\n"
        << "This is a stand-in for the core model. It checks the options file and the files it\r\n"
        << "names, and reports what it found. It computes no emissions.\r\n\r\n"
        << "Run at        : " << now_text() << "\r\n"
        << "Options file  : " << optionsPath << "\r\n"
        << "Model dir     : " << modelDir.string() << "\r\n\r\n";

    auto body = [&](const char* name) {
        const auto it = packets.find(name);
        return it == packets.end() ? std::vector<std::string>{} : it->second;
    };
    const auto options = body("/OPTIONS/");
    for (std::size_t i = 0; i < options.size() && i < 2; ++i)
        msg << "Title " << i + 1 << "       : " << value_of(options[i]) << "\r\n";

    msg << "\r\nPERIOD\r\n";
    const auto period = body("/PERIOD/");
    if (period.empty())
        msg << "  no /PERIOD/ packet\r\n";
    for (const auto& line : period)
        msg << "  " << label_of(line) << ": " << value_of(line) << "\r\n";

    msg << "\r\nREGIONS\r\n";
    const auto regions = body("/REGION/");
    if (regions.empty())
        msg << "  no /REGION/ packet\r\n";
    std::vector<std::string> regionCodes;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        if (i == 0) {
            msg << "  level " << value_of(regions[i]) << "\r\n";
            continue;
        }
        regionCodes.push_back(value_of(regions[i]));
        msg << "  " << regionCodes.back() << "  " << label_of(regions[i]) << "\r\n";
    }

    msg << "\r\nSOURCE CATEGORIES\r\n";
    std::vector<std::string> sccs;
    for (const auto& line : body("/SOURCE CATEGORY/"))
        sccs.push_back(value_of(line));
    if (sccs.empty())
        msg << "  none listed: every source category\r\n";
    for (const auto& scc : sccs)
        msg << "  " << scc << "\r\n";

    msg << "\r\nINPUT FILES\r\n";
    int missing = 0;
    for (const auto& f : inputs) {
        msg << "  " << f.role << ": " << f.named << "  " << f.status << "\r\n";
        missing += f.status == "found" ? 0 : 1;
    }
    msg << "\r\n"
        << inputs.size() << " input files named, " << missing << " missing or unusable.\r\n"
        << "No emissions were computed: this is a stand-in.\r\n";

    std::ofstream msgFile(*msgPath, std::ios::binary | std::ios::trunc);
    msgFile << msg.str();
    msgFile.close();
    if (!msgFile) {
        std::fprintf(stderr, "demo-model: cannot write the message file %s\n",
                     msgPath->string().c_str());
        return kCannotWrite;
    }

    std::ofstream outFile(*outPath, std::ios::binary | std::ios::trunc);
    outFile << "# KELVARO STAND-IN CORE MODEL OUTPUT DATA\r\n"
            << "# A stand-in wrote this file: it holds no emission figures.\r\n"
            << "# Options file: " << optionsPath << "\r\n"
            << "# One line per region and source category the run asked for.\r\n"
            << "REGION,SCC,RESULT\r\n";
    for (const auto& region : regionCodes) {
        if (sccs.empty())
            outFile << region << ",ALL,not computed\r\n";
        for (const auto& scc : sccs)
            outFile << region << "," << scc << ",not computed\r\n";
    }
    outFile.close();
    if (!outFile) {
        std::fprintf(stderr, "demo-model: cannot write the output data file %s\n",
                     outPath->string().c_str());
        return kCannotWrite;
    }
    std::printf("demo-model: checked %s; wrote %s and %s\n", optionsPath.c_str(),
                msgPath->string().c_str(), outPath->string().c_str());
    return 0;
}
