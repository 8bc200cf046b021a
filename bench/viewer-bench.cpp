// The message viewer on a 50 MB message file (800,000 lines of a model's messages, one in a
// thousand a warning): the time from the request to the first screen painted, a jump to the
// end, and the memory the viewer added (resident set size), best of the repeats.
//
//   build/bin/viewer-bench [REPEATS]      (default 3; QT_QPA_PLATFORM=offscreen)
#include "gui_support/installation.h"
#include "runs/ui/message_viewer.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    kv::test::Installation in;
    in.start();
    const std::string path = (in.tmp.path() / "big.msg").string();
    {
        std::ofstream out(path, std::ios::binary);
        char line[80];
        std::size_t size = 0;
        for (long i = 0; size < 50u << 20; ++i) {
            const int n =
                std::snprintf(line, sizeof line, "%s step %8ld of the run: value %14.4f\n",
                              i % 1000 == 999 ? "WARNING" : "message", i, i * 0.25);
            out.write(line, n);
            size += static_cast<std::size_t>(n);
        }
    }
    double bestOpen = 1e9;
    double bestEnd = 1e9;
    long mostKib = 0;
    for (int r = 0; r < repeats; ++r) {
        const long before = resident_kib();
        QElapsedTimer timer;
        timer.start();
        auto* viewer = new kv::MessageViewer(*in.session, in.editors, nullptr);
        viewer->openFile(path);
        viewer->show();
        viewer->grab(); // the first screen painted
        const double open = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        timer.restart();
        viewer->goToLine(static_cast<int>(viewer->index().lineCount()) - 1);
        viewer->grab();
        const double end = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        const long added = resident_kib() - before;
        std::printf("repeat %d: first screen %.3f s, jump to the end %.3f s, %ld lines, memory "
                    "added %.1f MB\n",
                    r + 1, open, end, static_cast<long>(viewer->index().lineCount()),
                    static_cast<double>(added) / 1024);
        bestOpen = std::min(bestOpen, open);
        bestEnd = std::min(bestEnd, end);
        mostKib = std::max(mostKib, added);
        delete viewer;
    }
    std::printf("best of %d on a 50 MB file: first screen %.3f s, jump to the end %.3f s; "
                "memory added at most %.1f MB\n",
                repeats, bestOpen, bestEnd, static_cast<double>(mostKib) / 1024);
    return 0;
}
