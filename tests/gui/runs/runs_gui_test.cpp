// Runs from the main window: Model > Run and Stop Run, the Run History and Batch windows,
// driven by object name on the offscreen platform, with a scripted interface so that no test
// waits on a modal box.
#include "gui_support/installation.h"
#include "runs/batch_runner.h"
#include "runs/process_group.h"
#include "runs/ui/message_viewer.h"
#include "shell/editor_launch.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "shell/ui/main_window.h"
#include "shell/ui/qt_user_interface.h"
#include "support/fakes.h"
#include "support/options_text.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <signal.h>

namespace fs = std::filesystem;
using namespace kv;
using namespace kv::test;

namespace {

// The options file `name` in <tmp>/runs, its message and output data files named after it.
std::string write_run_file(const Installation& in, const std::string& name) {
    const std::string stem = fs::path(name).stem().string();
    const std::string runfiles = "MESSAGE            : " + in.model + "/outputs/" + stem +
                                 ".msg\r\nOUTPUT DATA        : " + in.model + "/outputs/" + stem +
                                 ".out\r\n";
    return in.tmp.write("runs/" + name,
                        with_packet_body(complete_options_file(), "/RUNFILES/", runfiles));
}

} // namespace
class RunsGuiTest : public QObject {
    Q_OBJECT

private slots:
    void modelRunWithTheStandInShowsItsFiles() {
        Installation in;
        in.start();
        // A model that takes a moment, so the window can be looked at during the run.
        in.script(in.model + "/slow-model", "sleep 1\nexec ./demo-model \"$1\"");
        in.session->settings.modelexe = "slow-model";
        bool checked = false;
        QTimer::singleShot(150, [&] {
            checked = true;
            QVERIFY(!in.find<QAction>("MnuRun")->isEnabled());
            QVERIFY(!in.find<QAction>("MnuFiles_1")->isEnabled());
            QVERIFY(in.find<QAction>("MnuCur")->isEnabled());
            QVERIFY(in.session->modelRunning);
            QVERIFY(in.ui.busyDepth > 0); // the busy pointer is shown
        });
        in.find<QAction>("MnuRun")->trigger();
        QVERIFY(checked); // the event loop ran during the wait
        QVERIFY(in.find<QAction>("MnuRun")->isEnabled());
        QCOMPARE(in.ui.busyDepth, 0);
        QVERIFY(in.find<QPushButton>("View_Msg")->isVisible());
        QVERIFY(in.status().contains(QRegularExpression("test1\\.msg +\\d+ bytes ")));
        QVERIFY(in.status().contains(QRegularExpression("test1\\.out +\\d+ bytes ")));
        QCOMPARE(read_file(in.model + "/kelvaro.bat"),
                 "CD " + in.model + "\r\nslow-model " + in.model + "/test1.opt\r\n");
        QVERIFY(in.ui.messages.empty());
        QCOMPARE(fs::current_path().string(), in.bin);
    }

    void aModelThatCannotStartOrFailsIsHandled() {
        Installation in;
        in.start();
        in.session->settings.modelexe = "no-such-model";
        in.find<QAction>("MnuRun")->trigger();
        QCOMPARE(in.ui.messages.size(), std::size_t(1));
        QVERIFY(in.ui.messages[0].text.starts_with(
            "Problem starting Core Model\n\nCommand string: no-such-model "));
        QVERIFY(
            in.log().find("Problem running file error number 53 command string no-such-model ") !=
            std::string::npos);

        in.script(in.model + "/bad-model", "exit 9");
        in.session->settings.modelexe = "bad-model";
        in.find<QAction>("MnuRun")->trigger();
        QCOMPARE(in.ui.messages.size(), std::size_t(1));
        QVERIFY(!in.find<QPushButton>("View_Msg")->isVisible());
        QVERIFY(in.find<QAction>("MnuRun")->isEnabled());
    }

    // The Run window shows the model's output while it runs, the time ticking in the main
    // window's status; its Stop ends the run and the outcome shows. The window stays for the
    // next run, which it shows from the start.
    void runWindowShowsTheOutputAsItComes() {
        Installation in;
        in.start();
        in.script(in.model + "/talky-model",
                  "i=0\nwhile [ $i -lt 100 ]; do echo \"line $i\"; i=$((i+1)); sleep 0.1; done");
        in.session->settings.modelexe = "talky-model";
        QString statusWhileRunning;
        int linesWhileRunning = 0;
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, [&] {
            auto* window = in.window->findChild<QWidget*>("Run_Window");
            auto* text = window ? window->findChild<QTreeView*>("Text") : nullptr;
            if (text == nullptr || text->model()->rowCount() < 4 || linesWhileRunning > 0)
                return;
            linesWhileRunning = text->model()->rowCount();
            statusWhileRunning = in.window->statusBar()->currentMessage();
            save_screenshot(window, "run-window");
            window->findChild<QPushButton*>("CmdStop")->click();
        });
        poll.start();
        in.find<QAction>("MnuRun")->trigger();
        poll.stop();
        auto* window = in.window->findChild<QWidget*>("Run_Window");
        QVERIFY(window != nullptr && window->isVisible());
        QVERIFY(linesWhileRunning >= 4);
        QVERIFY2(statusWhileRunning.startsWith("Running test1.opt \u2014 0:0"),
                 qPrintable(statusWhileRunning));
        QCOMPARE(window->findChild<QLabel*>("LblOutcome")->text(), QString("stopped"));
        QCOMPARE(window->findChild<QLabel*>("LblOptionsFile")->text(),
                 QString::fromStdString(in.model + "/test1.opt"));
        QVERIFY(!window->findChild<QPushButton*>("CmdStop")->isEnabled());
        QVERIFY(window->findChild<QPushButton*>("CmdViewMsg")->isEnabled());
        const auto* text = window->findChild<QTreeView*>("Text");
        QCOMPARE(text->model()->index(0, 0).data().toString(), QString("line 0"));
        QVERIFY(!window->findChild<QListWidget*>("Marks")->isVisible()); // nothing marked

        in.script(in.model + "/talky-model", "echo done; exit 3");
        in.find<QAction>("MnuRun")->trigger();
        QCOMPARE(in.window->findChildren<QWidget*>("Run_Window").size(), 1);
        QCOMPARE(window->findChild<QLabel*>("LblOutcome")->text(),
                 QString("failed with exit status 3"));
        QCOMPARE(text->model()->rowCount(), 1);
        QCOMPARE(text->model()->index(0, 0).data().toString(), QString("done"));
    }

    // Model > Stop Run ends a model that has started a child process, with the child; the
    // history window then lists the runs. Prints the time from the click to the end of the
    // run (the status refreshed and the run recorded).
    void stopRunAndTheHistoryWindow() {
        Installation in;
        in.start();
        const std::string childFile = in.tmp.str() + "/child.pid";
        in.script(in.model + "/sleepy-model", "sleep 30 &\necho $$ > " + childFile + ".tmp\nmv " +
                                                  childFile + ".tmp " + childFile + "\nwait");
        in.session->settings.modelexe = "sleepy-model";
        auto* stop = in.find<QAction>("MnuStop");

        QElapsedTimer sinceClick;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, [&] {
            if (sinceClick.isValid() || !fs::exists(childFile))
                return;
            QVERIFY(stop->isEnabled());
            sinceClick.start();
            stop->trigger();
        });
        poll.start();
        const std::size_t statuses = in.ui.statuses.size();
        in.find<QAction>("MnuRun")->trigger();
        const qint64 stopTook = sinceClick.nsecsElapsed() / 1000;
        poll.stop();
        QVERIFY(sinceClick.isValid());
        qInfo("Stop Run: %lld us from the click to the end of the run", stopTook);
        int group = 0;
        std::ifstream(childFile) >> group;
        QVERIFY(group > 0 && !process_group_alive(group)); // the child ended with the model
        QVERIFY(in.log().find("Run stopped by user\r\n") != std::string::npos);
        QVERIFY(!stop->isEnabled());
        QVERIFY(in.find<QAction>("MnuRun")->isEnabled());
        QCOMPARE(in.ui.statuses.size(), statuses + 1);
        QVERIFY(fs::exists(in.model + "/kelvaro.bat"));
        QVERIFY(in.ui.messages.empty());

        in.session->settings.modelexe = "demo-model";
        in.find<QAction>("MnuRun")->trigger();
        in.find<QAction>("MnuHistory")->trigger();
        auto* list = in.window->findChild<QTreeWidget*>("LstRuns");
        QVERIFY(list != nullptr && list->isVisible());
        QCOMPARE(list->topLevelItemCount(), 2);
        const auto row = [&](int i) {
            QStringList texts;
            for (int c = 0; c < 5; ++c)
                texts << list->topLevelItem(i)->text(c);
            return texts;
        };
        const QString opt = QString::fromStdString(in.model + "/test1.opt");
        // The second run saved the file again: only its first line changed.
        QCOMPARE(row(0).mid(1), (QStringList{opt, row(0)[2], "ok", ""}));
        QCOMPARE(row(1).mid(1), (QStringList{opt, row(1)[2], "stopped", ""}));
        QVERIFY(row(0)[0] >= row(1)[0]);

        in.session->scenario.title1str = "CHANGED";
        in.session->scenario.changed_options = true;
        in.find<QAction>("MnuFiles_1")->trigger();
        in.find<QAction>("MnuHistory")->trigger(); // brought forward and read again
        QCOMPARE(in.window->findChildren<QTreeWidget*>("LstRuns").size(), qsizetype(1));
        QCOMPARE(row(0)[4], QString("options changed since this run"));
        QCOMPARE(row(1)[4], QString("options changed since this run"));

        const std::string record = in.tmp.str() + "/editor-args";
        in.script(in.tmp.str() + "/editor", "printf '%s\\n' \"$@\" >> " + record);
        qputenv("VISUAL", QByteArray::fromStdString(in.tmp.str() + "/editor"));
        // The message file opens in the viewer, and from there in the outside editor.
        emit list->itemDoubleClicked(list->topLevelItem(0), 0);
        auto* viewer = in.window->findChild<MessageViewer*>("Message_Viewer");
        QVERIFY(viewer != nullptr);
        QCOMPARE(viewer->index().path().string(), in.model + "/outputs/test1.msg");
        viewer->findChild<QMenuBar*>()->actions()[0]->menu()->actions()[0]->trigger();
        QTRY_COMPARE(read_file(record), in.model + "/outputs/test1.msg\n");
        qunsetenv("VISUAL");
    }

    // File > Compare With... and the history's Compare with Current show a changed value in
    // a window grouped by packet; Open as Run brings the run's file back as an untitled copy.
    void compareWithAndTheKeptOptionsFile() {
        Installation in;
        in.start();
        in.find<QAction>("MnuRun")->trigger();
        const std::string title = in.session->scenario.title1str;
        in.session->scenario.title1str = "CHANGED";
        in.session->scenario.changed_options = true;
        // The changed value, side by side, under its packet in the newest comparison window.
        const auto shownChange = [&] {
            const auto windows = in.window->findChildren<QTreeWidget*>("LstDifferences");
            if (windows.isEmpty())
                return QStringList();
            const QTreeWidget* list = windows.last();
            save_screenshot(list->window(), "compare-window");
            const auto groups = list->findItems("/OPTIONS/", Qt::MatchExactly);
            if (groups.size() != 1)
                return QStringList();
            const QTreeWidgetItem* row = groups[0]->child(0);
            return QStringList{groups[0]->text(0), row->text(0), row->text(1), row->text(2)};
        };

        in.ui.answerFile(write_run_file(in, "other.opt"));
        in.find<QAction>("MnuCompare")->trigger();
        QCOMPARE(shownChange(),
                 (QStringList{"/OPTIONS/", "title1str", "CHANGED", QString::fromStdString(title)}));
        QVERIFY(in.ui.messages.empty());

        in.find<QAction>("MnuHistory")->trigger();
        in.find<QPushButton>("CmdCompare")->click();
        QCOMPARE(shownChange(),
                 (QStringList{"/OPTIONS/", "title1str", QString::fromStdString(title), "CHANGED"}));

        const std::string original = read_file(in.model + "/test1.opt");
        in.ui.answerYesNoCancel(Answer::No); // the unsaved change is left
        in.find<QPushButton>("CmdOpenAsRun")->click();
        QCOMPARE(in.session->scenario.title1str, title);
        QCOMPARE(in.session->untitledCopyOf, in.model + "/test1.opt");
        QCOMPARE(read_file(in.model + "/test1.opt"), original);
    }

    // Add Variations writes a year-by-state set of the current file and lists it in the batch.
    void addVariationsWritesAndListsASet() {
        Installation in;
        in.start();
        in.find<QAction>("MnuBatch_0")->trigger();
        QString count, focused;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (form == nullptr)
                return;
            focused = form->focusWidget() ? form->focusWidget()->objectName() : "";
            form->findChild<QComboBox*>("CboName_0")->setCurrentText("yearstr");
            form->findChild<QLineEdit*>("TxtValues_0")->setText("2020..2030/10");
            form->findChild<QLineEdit*>("TxtRegions")->setText("state=CA,TX");
            count = form->findChild<QLabel*>("LblCount")->text();
            save_screenshot(form, "variations-dialog");
            form->findChild<QPushButton*>("CmdCreate")->click();
        });
        in.find<QPushButton>("CmdAddVariations")->click();
        QCOMPARE(focused, QString("CboName_0"));
        QCOMPARE(count, QString("4 files"));
        QVERIFY(in.ui.messages.empty());
        auto* list = in.window->findChild<QTreeWidget*>("LstBatch");
        QCOMPARE(list->topLevelItemCount(), 4);
        const std::string set = in.model + "/test1-set/";
        QCOMPARE(list->topLevelItem(3)->text(0),
                 QString::fromStdString(set + "test1-yearstr-2030-region-TX.opt"));
        QVERIFY(fs::exists(set + "sweep.csv"));
    }

    // The viewer finds, jumps to the marked lines and follows a file that grows.
    void messageViewerFindsMarksAndFollows() {
        Installation in;
        in.start();
        std::string text;
        for (int i = 1; i <= 2000; ++i)
            text += "line " + std::to_string(i) + (i == 700 ? " Warning: old table" : "") +
                    (i == 1500 ? " ERROR 12" : "") + "\n";
        const std::string path = in.tmp.write("outputs/run.msg", text);
        MessageViewer viewer(*in.session, in.editors, nullptr);
        QVERIFY(viewer.openFile(path));
        viewer.show();
        viewer.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        auto* marks = viewer.findChild<QListWidget*>("Marks");
        QCOMPARE(marks->count(), 2);
        QCOMPARE(marks->item(1)->text(), QString("1500: line 1500 ERROR 12"));
        emit marks->itemActivated(marks->item(0));
        QCOMPARE(viewer.currentLine(), 699);

        viewer.findChild<QLineEdit*>("Find")->setText("LINE 19");
        QVERIFY(viewer.findNext(true));
        QCOMPARE(viewer.currentLine(), 1899);
        QTest::keyClick(&viewer, Qt::Key_F3);
        QCOMPARE(viewer.currentLine(), 1900);
        QTest::keyClick(&viewer, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(viewer.currentLine(), 1899);
        viewer.goToLine(1509);
        save_screenshot(&viewer, "message-viewer");

        std::ofstream(path, std::ios::app) << "line 2001 warning: late\n";
        QTRY_COMPARE(viewer.index().lineCount(), std::size_t(2001));
        QTRY_COMPARE(marks->count(), 3);
        QCOMPARE(viewer.findChild<QLabel*>("Status")->text(), QString("Line 1510 of 2001"));
    }

    // Closing the window during a run asks whether to stop it: No keeps the window and the
    // run, Yes stops the run and then ends the program.
    void closingDuringARunAsksFirst() {
        Installation in;
        in.start();
        const std::string childFile = in.tmp.str() + "/child.pid";
        in.script(in.model + "/sleepy-model", "sleep 30 &\necho $! > " + childFile + "\nwait");
        in.session->settings.modelexe = "sleepy-model";
        QSignalSpy ended(in.window.get(), &KVGui::finished);
        in.ui.answerYesNo(false);
        in.ui.answerYesNo(true);
        bool closed = false;
        QTimer poll;
        poll.setInterval(5);
        connect(&poll, &QTimer::timeout, [&] {
            if (closed || !fs::exists(childFile))
                return;
            closed = true;
            in.window->close();
            QVERIFY(in.window->isVisible());
            QVERIFY(in.session->modelRunning);
            in.window->close();
        });
        poll.start();
        in.find<QAction>("MnuRun")->trigger();
        poll.stop();
        QCOMPARE(
            in.ui.questions,
            std::vector<std::string>(2, "The core model is still running. Stop the run and exit?"));
        QCOMPARE(ended.count(), 1);
        QVERIFY(!in.window->isVisible());
        QVERIFY(in.log().ends_with("Run stopped by user\r\nEnding run\r\n"
                                   "****************************\r\n"));
    }

    // The Batch window: files added one by one and by folder, a batch run to its end with a
    // row done and one failed, a batch stopped, and closing during a batch.
    void batchWindowRunsAndStopsABatch() {
        Installation in;
        in.start();
        in.script(in.model + "/batch-model", "echo \"$1\" >> started\ncase \"$1\" in\n"
                                             "*fail*) exit 3 ;;\n*slow*) sleep 30 & wait ;;\n"
                                             "esac\nexec ./demo-model \"$1\"");
        in.session->settings.modelexe = "batch-model";
        // Long names: the message file stays in view all the same.
        const std::string good = write_run_file(in, "good run of the spring scenario.opt");
        const std::string failing = write_run_file(in, "fail run of the spring scenario.opt");

        in.find<QAction>("MnuBatch_0")->trigger();
        in.find<QAction>("MnuBatch_1")->trigger();
        QCOMPARE(in.window->findChildren<QWidget*>("Batch").size(), qsizetype(1));
        auto* batch = in.window->findChild<QWidget*>("Batch");
        QVERIFY(batch->isVisible() && in.window->isEnabled());
        auto* list = batch->findChild<QTreeWidget*>("LstBatch");
        auto* run = batch->findChild<QPushButton*>("CmdRun");
        auto* stop = batch->findChild<QPushButton*>("CmdStop");
        auto* progress = batch->findChild<QProgressBar*>("PrgBatch");
        const auto row = [&](int i) {
            QStringList texts;
            for (int c = 0; c < 4; ++c)
                texts << list->topLevelItem(i)->text(c);
            return texts;
        };
        const auto qs = [](const std::string& s) { return QString::fromStdString(s); };
        QVERIFY(!run->isEnabled() && !stop->isEnabled());

        in.ui.answerPaths({good, failing, good});
        batch->findChild<QPushButton*>("CmdAdd")->click();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(row(0), (QStringList{qs(good), "waiting", "", ""}));
        batch->findChild<QSpinBox*>("TxtParallel")->setValue(2);
        // The files are checked a slice at a time under the busy pointer; Cancel ends the
        // check before anything runs.
        auto* label = batch->findChild<QLabel*>("LblBatch");
        run->click();
        QCOMPARE(stop->text(), QString("&Cancel"));
        QCOMPARE(label->text(), QString("Checking the options files: 0 of 2"));
        QCOMPARE(in.ui.busyDepth, 1);
        stop->click();
        QVERIFY(run->isEnabled() && !stop->isEnabled());
        QCOMPARE(in.ui.busyDepth, 0);
        QCOMPARE(label->text(), QString("Check cancelled: nothing was run"));
        QCOMPARE(row(1), (QStringList{qs(failing), "waiting", "", ""}));
        QVERIFY(!fs::exists(in.model + "/started"));
        run->click();
        QVERIFY(stop->isEnabled() && !run->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(run->isEnabled(), 20000);
        QCOMPARE(row(0), (QStringList{qs(good), "done", "0", row(0)[3]}));
        QCOMPARE(row(1), (QStringList{qs(failing), "failed", "3", row(1)[3]}));
        QCOMPARE(progress->value(), 2);
        QCOMPARE(progress->maximum(), 2);
        QCOMPARE(batch->findChild<QLabel*>("LblBatch")->text(),
                 QString("2 finished: 1 ok, 1 failed"));
        QVERIFY(list->header()->length() <= list->viewport()->width());
        QVERIFY(list->columnWidth(4) > list->columnWidth(1));
        save_screenshot(batch, "batch-window");

        const std::string record = in.tmp.str() + "/editor-args";
        in.script(in.tmp.str() + "/editor", "printf '%s\\n' \"$@\" >> " + record);
        qputenv("VISUAL", QByteArray::fromStdString(in.tmp.str() + "/editor"));
        emit list->itemDoubleClicked(list->topLevelItem(0), 4);
        QTRY_COMPARE(read_file(record),
                     in.model + "/outputs/good run of the spring scenario.msg\n");
        qunsetenv("VISUAL");
        // Elsewhere in the row, the run's own output in the viewer.
        emit list->itemDoubleClicked(list->topLevelItem(0), 0);
        const auto viewers = batch->findChildren<MessageViewer*>();
        QCOMPARE(viewers.size(), 1);
        QVERIFY(viewers[0]->index().path().string().ends_with(".log"));

        list->selectAll();
        batch->findChild<QPushButton*>("CmdRemove")->click();
        QCOMPARE(list->topLevelItemCount(), 0);
        for (const char* name : {"slow3.opt", "slow1.opt", "slow2.opt"})
            write_run_file(in, name);
        in.ui.answerPaths({in.tmp.str() + "/runs"});
        batch->findChild<QPushButton*>("CmdAddFolder")->click();
        QCOMPARE(list->topLevelItemCount(), 5); // the folder's files, sorted
        QCOMPARE(list->topLevelItem(2)->text(0), qs(in.tmp.str() + "/runs/slow1.opt"));
        list->clearSelection();
        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(1)->setSelected(true);
        batch->findChild<QPushButton*>("CmdRemove")->click();
        QCOMPARE(list->topLevelItemCount(), 3);

        const std::string started = in.model + "/started";
        const auto startedRuns = [&] { return text_lines(read_file(started)).size(); };
        fs::remove(started);
        run->click();
        QTRY_COMPARE_WITH_TIMEOUT(startedRuns(), std::size_t(2), 20000);
        QTRY_COMPARE(row(1)[1], QString("running"));
        stop->click();
        QTRY_VERIFY_WITH_TIMEOUT(run->isEnabled(), 10000);
        QCOMPARE(row(0)[1], QString("stopped"));
        QCOMPARE(row(1)[1], QString("stopped"));
        QCOMPARE(row(2)[1], QString("not started"));
        QCOMPARE(startedRuns(), std::size_t(2));

        // Closing during a batch asks: No keeps the window and the batch, Yes stops it.
        fs::remove(started);
        run->click();
        QTRY_COMPARE_WITH_TIMEOUT(startedRuns(), std::size_t(2), 20000);
        in.ui.answerYesNo(false);
        batch->close();
        QCOMPARE(in.ui.questions.back(), std::string(kStopBatchQuestion));
        QVERIFY(batch->isVisible() && stop->isEnabled());
        in.ui.answerYesNo(false); // closing the main window asks the same
        in.window->close();
        QCOMPARE(in.ui.questions.back(), std::string(kStopBatchQuestion));
        QVERIFY(in.window->isVisible() && stop->isEnabled());
        in.ui.answerYesNo(true);
        batch->close();
        QTRY_VERIFY_WITH_TIMEOUT(in.window->findChild<QWidget*>("Batch") == nullptr, 10000);
        QCOMPARE(startedRuns(), std::size_t(2));
        QVERIFY(in.ui.messages.empty());
    }

    // The program told to end (a termination signal ends it through Fini) while a batch runs:
    // nobody is asked, the batch stops, its models end, and the window goes.
    void endingDuringABatchStopsItWithoutAsking() {
        Installation in;
        in.start();
        in.script(in.model + "/slow-model", "echo $$ >> pids\nsleep 30 & wait");
        in.session->settings.modelexe = "slow-model";
        in.find<QAction>("MnuBatch_1")->trigger();
        auto* batch = in.window->findChild<QWidget*>("Batch");
        in.ui.answerPaths({write_run_file(in, "slow1.opt"), write_run_file(in, "slow2.opt")});
        batch->findChild<QPushButton*>("CmdAdd")->click();
        batch->findChild<QPushButton*>("CmdRun")->click();
        const std::string pids = in.model + "/pids";
        QTRY_COMPARE_WITH_TIMEOUT(text_lines(read_file(pids)).size(), std::size_t(2), 20000);
        in.window->Fini();
        QVERIFY(in.ui.questions.empty());
        QTRY_VERIFY_WITH_TIMEOUT(in.window->findChild<QWidget*>("Batch") == nullptr, 10000);
        for (const std::string& pid : text_lines(read_file(pids)))
            QVERIFY2(!process_group_alive(std::stoi(pid)), pid.c_str());
    }

    // The time the interface adds around a model that does nothing: saving the options file,
    // kelvaro.bat, starting and waiting for the process, the status refresh. Prints the median
    // of 21 runs; the bound only catches a wait that polls or sleeps.
    void modelRunOverheadWithATrivialModel() {
        Installation in;
        in.start();
        fs::copy_file("/usr/bin/true", in.model + "/true-model");
        in.session->settings.modelexe = "true-model";
        auto median = [](std::vector<qint64> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        std::vector<qint64> runs, bare;
        for (int i = 0; i < 21; ++i) {
            QElapsedTimer t;
            t.start();
            in.find<QAction>("MnuRun")->trigger();
            runs.push_back(t.nsecsElapsed() / 1000);
            t.restart();
            in.launcher.runAndWait({in.model + "/true-model", {}, in.model});
            bare.push_back(t.nsecsElapsed() / 1000);
        }
        QVERIFY(in.ui.messages.empty());
        qInfo("model run with a trivial model: median %lld us (the process alone: %lld us)",
              median(runs), median(bare));
        QVERIFY(median(runs) < 250000);
    }
};

QTEST_MAIN(RunsGuiTest)
#include "runs_gui_test.moc"
