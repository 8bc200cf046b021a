#include "runs/message_view.h"

#include "shell/text.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

namespace {

constexpr std::size_t kReadChunk = 1 << 20;

bool holds_mark(std::string_view lowered) {
    return lowered.find("error") != std::string_view::npos ||
           lowered.find("warning") != std::string_view::npos;
}

} // namespace

bool is_marked_line(std::string_view line) {
    return holds_mark(lower(line));
}

void LineIndex::reset() {
    fd_ = UniqueFd();
    starts_.clear();
    marks_.clear();
    indexed_ = 0;
    lineOpen_ = false;
    head_.clear();
}

bool LineIndex::open(const std::filesystem::path& path) {
    reset();
    path_ = path;
#ifndef _WIN32
    fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
#endif
    if (!fd_)
        return false;
    refresh();
    return true;
}

void LineIndex::endLine() {
    if (holds_mark(head_))
        marks_.push_back(starts_.size() - 1);
    head_.clear();
    lineOpen_ = false;
}

void LineIndex::scan(const char* data, std::size_t size) {
    // The chunk is lowered once and searched for the marks as a whole: looking at each line on
    // its own would cost more than the rest of the indexing.
    lowered_.resize(size);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        lowered_[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    const std::string_view low(lowered_);
    // The next of each word at or after where the lines have got to; each is looked for
    // again only once it has been passed, so the chunk is read once for each.
    const auto next = [&](std::string_view word, std::size_t from) {
        const void* hit = ::memmem(low.data() + from, low.size() - from, word.data(), word.size());
        return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - low.data())
                              : std::string_view::npos;
    };
    std::size_t error = next("error", 0);
    std::size_t warning = next("warning", 0);
    std::size_t mark = std::min(error, warning);
    std::size_t at = 0;
    while (at < size) {
        const void* found = std::memchr(data + at, '\n', size - at);
        const std::size_t end =
            found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - data)
                             : size;
        if (lineOpen_) {
            // A line begun in an earlier chunk: its start is kept to find a mark across the
            // boundary.
            head_.append(low.substr(at, std::min(end - at, kMaxLineShown)));
        } else {
            starts_.push_back(indexed_ + at);
            lineOpen_ = true;
            if (found == nullptr)
                head_.assign(low.substr(at, std::min(end - at, kMaxLineShown)));
            else if (mark < end) {
                marks_.push_back(starts_.size() - 1);
                head_.clear();
                lineOpen_ = false;
            } else {
                lineOpen_ = false;
            }
        }
        if (found == nullptr)
            break;
        if (lineOpen_)
            endLine();
        at = end + 1;
        if (mark < at) {
            if (error < at)
                error = next("error", at);
            if (warning < at)
                warning = next("warning", at);
            mark = std::min(error, warning);
        }
    }
    indexed_ += size;
}

bool LineIndex::refresh() {
#ifndef _WIN32
    if (!fd_)
        return false;
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0)
        return false;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size == indexed_)
        return false;
    if (size < indexed_) { // written anew
        const std::filesystem::path path = path_;
        open(path);
        return true;
    }
    const std::size_t linesBefore = starts_.size();
    const auto buffer = std::make_unique<char[]>(kReadChunk);
    while (indexed_ < size) {
        const ssize_t n =
            ::pread(fd_.get(), buffer.get(),
                    static_cast<std::size_t>(std::min<std::uint64_t>(kReadChunk, size - indexed_)),
                    static_cast<off_t>(indexed_));
        if (n <= 0)
            break;
        scan(buffer.get(), static_cast<std::size_t>(n));
    }
    return starts_.size() != linesBefore || lineOpen_;
#else
    return false;
#endif
}

std::string LineIndex::line(std::size_t i) const {
    if (i >= starts_.size() || !fd_)
        return {};
    const std::uint64_t begin = starts_[i];
    const std::uint64_t end = i + 1 < starts_.size() ? starts_[i + 1] : indexed_;
    std::string text(static_cast<std::size_t>(std::min<std::uint64_t>(end - begin, kMaxLineShown)),
                     '\0');
#ifndef _WIN32
    const ssize_t n = ::pread(fd_.get(), text.data(), text.size(), static_cast<off_t>(begin));
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
#endif
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

bool LineIndex::marked(std::size_t i) const {
    return std::binary_search(marks_.begin(), marks_.end(), i);
}

std::optional<std::size_t> LineIndex::find(std::string_view text, std::size_t from,
                                           bool forward) const {
    const std::size_t count = starts_.size();
    if (text.empty() || count == 0)
        return std::nullopt;
    const std::string wanted = lower(text);
    from = std::min(from, count - 1);
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t i = forward ? (from + step) % count : (from + count - step) % count;
        if (lower(line(i)).find(wanted) != std::string::npos)
            return i;
    }
    return std::nullopt;
}

MessageFileOpener read_message_file_opener(const std::filesystem::path& configDir) {
    std::ifstream in(configDir / std::string(kViewerPrefsFileName));
    std::string line;
    MessageFileOpener opener = MessageFileOpener::Viewer;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line == "editor=outside")
            opener = MessageFileOpener::OutsideEditor;
        else if (line == "editor=viewer")
            opener = MessageFileOpener::Viewer;
    }
    return opener;
}

std::string write_message_file_opener(const std::filesystem::path& configDir,
                                      MessageFileOpener opener) {
    const std::filesystem::path path = configDir / std::string(kViewerPrefsFileName);
    const std::filesystem::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << (opener == MessageFileOpener::OutsideEditor ? "editor=outside\n"
                                                           : "editor=viewer\n");
        out.close();
        if (!out)
            return "Cannot write " + temp.string();
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    return ec ? "Cannot write " + path.string() + ": " + ec.message() : std::string();
}

} // namespace kv
