#include "gui_support/installation.h"

#include "shell/settings.h"
#include "support/options_text.h"

#include <QLabel>
#include <QWindow>
#include <QtTest>
#include <fstream>

namespace fs = std::filesystem;

namespace kv::test {

QString shown_title(QWidget* window) {
    return window->windowHandle() != nullptr ? window->windowHandle()->title()
                                             : window->windowTitle();
}

void save_screenshot(QWidget* window, const char* name) {
    const QByteArray dir = qgetenv("KV_SCREENSHOT_DIR");
    if (dir.isEmpty() || window == nullptr)
        return;
    window->grab().save(QString::fromLocal8Bit(dir) + "/" + name + ".png");
}

void WindowScriptedUI::setCaption(const std::string& caption) {
    ScriptedUserInterface::setCaption(caption);
    if (window != nullptr)
        window->applyCaption(caption);
}

void WindowScriptedUI::setStatus(const StatusDisplay& status) {
    ScriptedUserInterface::setStatus(status);
    if (window != nullptr)
        window->applyStatus(status);
}

Installation::Installation() {
    bin = tmp.str() + "/bin";
    model = tmp.str() + "/model";
    data = tmp.str() + "/data";
    fs::create_directories(bin);
    fs::create_directories(model + "/outputs");
    tmp.write("data/kelvaro.me", "");
    fs::copy_file(std::string(KV_DEMO_DIR) + "/model/demo-model", model + "/demo-model");
    writeOptions(model + "/outputs/test1.msg");
    tmp.write("model/new.opt", "");
    refdbs.db = demo_reference_data();
    session = std::make_unique<Session>(ui, launcher, refdbs, fs::path(bin), PathRules::posix());
    window = std::make_unique<KVGui>(*session, editors);
    window->setProgramFile(QString::fromStdString(bin + "/kvgui"));
    ui.window = window.get();
}

Installation::~Installation() {
    window.reset();
    fs::current_path(startDir);
}

void Installation::writeOptions(const std::string& msg, const std::string& name) {
    const std::string runfiles = "MESSAGE            : " + msg + "\r\n" +
                                 "OUTPUT DATA        : " + model + "/outputs/test1.out\r\n";
    tmp.write("model/" + name, with_packet_body(complete_options_file(), "/RUNFILES/", runfiles));
}

void Installation::writeIni(const std::string& modelexe) {
    Settings s;
    s.modeldir = model;
    s.modelexe = modelexe;
    s.datadir = data;
    s.accessexe = "/usr/bin/true";
    std::ofstream(bin + "/kv-gui.ini", std::ios::binary)
        << settings_file_text(s, "test1.opt", "new.opt");
}

void Installation::start() {
    writeIni();
    QCOMPARE(window->load(false), StartupOutcome::Ready);
}

std::string Installation::log() const {
    return read_file(bin + "/region.txt");
}

QString Installation::status() const {
    return find<QLabel>("VerLbl")->text();
}

void Installation::script(const std::string& path, const std::string& body) const {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add);
}

} // namespace kv::test
