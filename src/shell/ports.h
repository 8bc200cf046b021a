#pragma once

#include <optional>
#include <string>
#include <vector>

// The interfaces through which the core reaches the outside world. The Qt layer implements
// them with real widgets and processes; tests and kvopt implement them with scripts.
namespace kv {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };

// The answer to a question with Yes, No and Cancel.
enum class Answer { Yes, No, Cancel };

// A common file dialog as the program describes it. `filter` keeps the classic form
// "description|pattern|description|pattern"; `filterIndex` is 1-based.
struct FileDialogRequest {
    std::string title;
    std::string filter;
    int filterIndex = 1;
    std::string initialDir;
    std::string initialFile;
    bool promptOverwrite = false;
    // An Open dialog that names a file to be written accepts a name that does not exist yet.
    bool mustExist = true;
};

// What a file dialog answers: the full path and the bare file name (the dialog's title of
// the file). Cancel is an empty optional.
struct FileChoice {
    std::string path;
    std::string fileTitle;
};

// What an Open dialog for several paths chooses: existing files, or one folder.
enum class PathKind { Files, Folder };

// The three status lines of the main window and whether "&View Message File" is offered.
struct StatusDisplay {
    std::string text;
    bool viewMessageVisible = false;
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // An empty title means the box has no title of its own.
    virtual void showMessage(const std::string& text, const std::string& title,
                             MessageIcon icon) = 0;
    virtual bool askYesNo(const std::string& text, const std::string& title) = 0;
    // A question with Yes, No and Cancel; closing the box answers Cancel.
    virtual Answer askYesNoCancel(const std::string& text, const std::string& title) = 0;
    virtual std::optional<FileChoice> chooseOpenFile(const FileDialogRequest& request) = 0;
    virtual std::optional<FileChoice> chooseSaveFile(const FileDialogRequest& request) = 0;
    // An Open dialog for several existing files at once, or for one folder: the full paths
    // chosen, none for Cancel.
    virtual std::vector<std::string> choosePaths(const FileDialogRequest& request,
                                                 PathKind kind) = 0;
    virtual void setBusy(bool busy) = 0;
    // The platform's short warning sound (a search that found nothing).
    virtual void beep() = 0;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setStatus(const StatusDisplay& status) = 0;
};

// Shows the busy pointer for as long as it lives, so every early return restores it.
class BusyPointer {
public:
    explicit BusyPointer(UserInterface& ui) : ui_(ui) { ui_.setBusy(true); }
    ~BusyPointer() { ui_.setBusy(false); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    UserInterface& ui_;
};

// A program to start: never through a shell, always as an argument vector.
struct LaunchRequest {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingDirectory; // empty: inherit
    // Where a program waited for writes its standard output and error, together and in order
    // (the run's console log); empty: this process's own. Initialised here, so that a request
    // written as {program, arguments, directory} needs no word about it.
    std::string consoleFile{};
};

struct LaunchResult {
    bool started = false;
    int exitCode = 0;      // 128 + the signal when a signal ended it
    bool crashed = false;  // a signal ended it
    std::string errorText; // why it could not be started
    int signal = 0;        // the signal that ended it, 0 when it exited
    bool stopped = false;  // a stop was asked for while it ran
};

class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts the program and returns without waiting for it.
    virtual LaunchResult startDetached(const LaunchRequest& request) = 0;
    // Starts the program and waits for it to end; the Qt implementation keeps the event
    // loop running meanwhile so the windows stay responsive.
    virtual LaunchResult runAndWait(const LaunchRequest& request) = 0;
    // Ends what runAndWait is waiting for, with every process it started: the program runs
    // in a process group of its own, which gets SIGTERM, and SIGKILL when it has not ended
    // 5 s later; the wait then answers with `stopped` set. Safe to call from inside the
    // wait (a click during the run). The Qt launcher ignores it while nothing is waited for;
    // kvopt's launcher keeps it for its next wait, since a signal may come before the start.
    virtual void stop() {}
};

} // namespace kv
