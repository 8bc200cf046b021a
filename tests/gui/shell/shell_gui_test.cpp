// The main window and its information windows, driven by object name on the offscreen
// platform, with a scripted interface so that no test waits on a modal box.
#include "gui_support/installation.h"
#include "runs/message_view.h"
#include "shell/editor_launch.h"
#include "shell/file_locations.h"
#include "shell/session.h"
#include "shell/settings.h"
#include "shell/status.h"
#include "shell/ui/instance_lock.h"
#include "shell/ui/main_window.h"
#include "shell/ui/qt_launcher.h"
#include "shell/ui/qt_user_interface.h"
#include "shell/ui/signal_bridge.h"
#include "shell/ui/status_label.h"
#include "support/fakes.h"
#include "support/options_text.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <signal.h>

namespace fs = std::filesystem;
using namespace kv;
using namespace kv::test;

class ShellGuiTest : public QObject {
    Q_OBJECT

private slots:
    void firstRunAsksAndShowsTheDefaultFile() {
        Installation in;
        in.ui.answerFile(in.model + "/demo-model");
        in.ui.answerFile(in.model + "/test1.opt");
        in.ui.answerFile(in.model + "/new.opt");
        in.ui.answerFile(in.data + "/kelvaro.me");
        in.ui.answerFile("/usr/bin/true");
        QCOMPARE(in.window->load(false), StartupOutcome::Ready);
        QVERIFY(in.window->isVisible());
        QCOMPARE(shown_title(in.window.get()), QString("US XQB KELVARO MODEL (test1.opt)"));
        QVERIFY(in.status().startsWith("Simulation Run Title       : TEST RUN\n"
                                       "Current Message File     : test1.msg\n"
                                       "Current Output Data File : test1.out"));
        QVERIFY(!in.find<QPushButton>("View_Msg")->isVisible());
        QVERIFY(fs::exists(in.bin + "/kv-gui.ini"));
        QCOMPARE(in.ui.dialogs.size(), std::size_t(5));
        QVERIFY(in.log().starts_with("Starting new run\r\n"));
    }

    void laterRunWithAMissingPathEndsThroughFini() {
        Installation in;
        in.writeIni("gone-model");
        QSignalSpy ended(in.window.get(), &KVGui::finished);
        QCOMPARE(in.window->load(false), StartupOutcome::SettingsMissing);
        QVERIFY(!in.window->isVisible());
        QCOMPARE(in.ui.messageTexts(),
                 std::vector<std::string>{in.model + "/gone-model does not exist. Correct "
                                                     "kv-gui.ini and retry."});
        QCOMPARE(in.log(), std::string("Starting new run\r\nEnding run\r\n"
                                       "****************************\r\n"));
    }

    void anotherInstanceAnsweredNoEndsAtOnce() {
        Installation in;
        in.writeIni();
        in.ui.answerYesNo(false);
        QCOMPARE(in.window->load(true), StartupOutcome::Declined);
        QVERIFY(!in.window->isVisible());
        QVERIFY(!fs::exists(in.bin + "/region.txt"));
    }

    void menusCarryTheirNamesCaptionsAndAvailability() {
        Installation in;
        struct Item {
            const char* name;
            const char* caption;
            bool enabled;
        };
        const Item items[] = {
            {"MnuFiles_0", "&Open...", true},
            {"MnuFiles_1", "&Save", true},
            {"MnuFiles_2", "Save &as...", true},
            {"MnuExit", "E&xit", true},
            {"MnuScen_0", "&Options", false},
            {"MnuScen_1", "&Period", false},
            {"MnuScen_2", "&Region", false},
            {"MnuScen_3", "&Sources", false},
            {"MnuRun", "&Run with filename.ext", true},
            {"MnuStop", "S&top Run", false},
            {"MnuHistory", "Run &History", true},
            {"MnuAcc", "Re&ports", true},
            {"mnuadvopt_0", "Geographic &Allocation", false},
            {"mnuadvopt_1", "&Temporal Allocation", false},
            {"mnuadvopt_2", "&Growth", false},
            {"mnuadvopt_3", "&Equip. Population", false},
            {"mnuadvopt_4", "&Phase In", false},
            {"mnuadvopt_5", "Emission &Factors", false},
            {"mnuadvopt_6", "&Deterioration Factors", false},
            {"mnuadvopt_7", "A&ctivity", false},
            {"mnuadvopt_8", "&U.S. Counties FIPS", false},
            {"mnuadvopt_9", "&Retrofit", false},
            {"mnuadvopt_10", "&Daily Temp/RVP", false},
            {"mnuadvopt_11", "&Optional Output", false},
            {"MnuBatch_0", "&Select option files", true},
            {"MnuBatch_1", "&Run Batch", true},
            {"MnuHelp", "&Help", false},
            {"MnuDemo", "Open &Demo", true},
            {"MnuAbout", "&About", true},
            {"MnuCur", "&Current", true},
            {"MnuDiag", "&Diag", false},
        };
        for (const auto& item : items) {
            auto* a = in.find<QAction>(item.name);
            QVERIFY2(a != nullptr, item.name);
            QCOMPARE(a->text(), QString(item.caption));
            QVERIFY2(a->isEnabled() == item.enabled, item.name);
        }
        QVERIFY(in.find<QAction>("MnuFiles_3")->isSeparator());
        const char* menus[][2] = {{"MenuFiles", "&File"},  {"MenuScen", "&Scenario"},
                                  {"MenuModel", "&Model"}, {"MenuAdvopt", "&Advanced options"},
                                  {"MenuBatch", "&Batch"}, {"MenuHelp", "&Help"}};
        for (const auto& m : menus)
            QCOMPARE(in.find<QMenu>(m[0])->title(), QString(m[1]));
        QVERIFY(in.find<QMenu>("MenuBatch")->menuAction()->isEnabled());

        // A dialog binds its item, which becomes available; Period writes its log line.
        in.session->log.open(in.bin + "/region.txt");
        int opened = 0;
        QVERIFY(in.window->bindMenuItem("MnuScen_1", [&] { ++opened; }));
        QVERIFY(!in.window->bindMenuItem("MnuExit", [] {}));
        QVERIFY(in.find<QAction>("MnuScen_1")->isEnabled());
        in.find<QAction>("MnuScen_1")->trigger();
        QCOMPARE(opened, 1);
        QCOMPARE(in.log(), std::string("Period selected\r\n"));

        in.start();
        in.session->scenario.optfile = "R&D.OPT";
        emit in.find<QMenu>("MenuModel")->aboutToShow();
        QCOMPARE(in.find<QAction>("MnuRun")->text(), QString("&Run with Current file"));
        in.session->scenario.optfile = "Test1.OPT";
        emit in.find<QMenu>("MenuModel")->aboutToShow();
        QCOMPARE(in.find<QAction>("MnuRun")->text(), QString("&Run with test1.opt"));
    }

    void saveAsThroughTheMenuMovesCaptionAndStatus() {
        Installation in;
        in.start();
        fs::create_directories(in.tmp.str() + "/runs/outputs");
        in.ui.answerFile(in.tmp.str() + "/runs/RUN2");
        in.find<QAction>("MnuFiles_2")->trigger();
        QCOMPARE(shown_title(in.window.get()), QString("US XQB KELVARO MODEL (run2.opt)"));
        QVERIFY(in.status().contains("Current Message File     : run2.msg") == false);
        QVERIFY(in.status().contains(QString::fromStdString(
            "Current Message File     : " + in.tmp.str() + "/runs/outputs/run2.msg")));
        QVERIFY(fs::exists(in.tmp.str() + "/runs/RUN2.OPT"));

        in.ui.answerFile(std::nullopt);
        in.find<QAction>("MnuFiles_0")->trigger();
        QCOMPARE(in.ui.messageTexts().back(),
                 std::string("Error: Cannot save file: Cancel was selected."));
        QCOMPARE(shown_title(in.window.get()), QString("US XQB KELVARO MODEL (run2.opt)"));
    }

    void keysAndTheMessageButtonOpenTheEditor() {
        Installation in;
        in.start();
        const std::string record = in.tmp.str() + "/editor-args";
        in.script(in.tmp.str() + "/editor", "printf '%s\\n' \"$@\" >> " + record);
        qputenv("VISUAL", QByteArray::fromStdString(in.tmp.str() + "/editor"));

        const QList<QWidget*> lists = {in.find<QWidget>("LstRegionB"), in.find<QWidget>("LstDiag"),
                                       in.find<QWidget>("CmdDiag")};
        for (QWidget* w : lists)
            QVERIFY(w->isHidden());
        QTest::keyClick(in.window.get(), Qt::Key_F11);
        for (QWidget* w : lists)
            QVERIFY(!w->isHidden());
        in.find<QPushButton>("CmdDiag")->click();
        QCOMPARE(in.find<QListWidget>("LstDiag")->count(), 2); // CA and TX
        QCOMPARE(in.find<QListWidget>("LstRegionB")->item(0)->text(), QString("*****California"));
        QTest::keyClick(in.window.get(), Qt::Key_F11);
        for (QWidget* w : lists)
            QVERIFY(w->isHidden());

        QTest::keyClick(in.window.get(), Qt::Key_F12);
        QTRY_COMPARE(read_file(record), in.model + "/test1.opt\n");

        in.tmp.write("model/outputs/test1.msg", "message");
        in.find<QAction>("MnuFiles_1")->trigger(); // Save does not refresh the status ...
        QVERIFY(!in.find<QPushButton>("View_Msg")->isVisible());
        in.ui.answerFile(in.model + "/test1.opt");
        in.find<QAction>("MnuFiles_0")->trigger(); // ... reading the file does
        QVERIFY(in.find<QPushButton>("View_Msg")->isVisible());
        // The message viewer by default; the outside editor once the viewer's menu chose it.
        in.find<QPushButton>("View_Msg")->click();
        QVERIFY(in.window->findChild<QWidget*>("Message_Viewer") != nullptr);
        QCOMPARE(write_message_file_opener(in.session->configDir, MessageFileOpener::OutsideEditor),
                 std::string());
        in.find<QPushButton>("View_Msg")->click();
        QTRY_COMPARE(read_file(record),
                     in.model + "/test1.opt\n" + in.model + "/outputs/test1.msg\n");

        qputenv("VISUAL", QByteArray::fromStdString(in.tmp.str() + "/no-editor"));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QByteArray("/nonexistent"));
        QTest::keyClick(in.window.get(), Qt::Key_F12);
        qputenv("PATH", path);
        qunsetenv("VISUAL");
        QCOMPARE(
            in.ui.messageTexts().back(),
            std::string(
                "Problem starting Notepad\nMake sure notepad.exe exists and is in your path."));
    }

    void informationWindowsAreSingleAndModeless() {
        Installation in;
        in.session->arguments = {"--first", "second"};
        in.start();

        in.find<QAction>("MnuCur")->trigger();
        auto* current = in.window->findChild<QWidget*>("Current");
        QVERIFY(current && current->isVisible());
        QCOMPARE(current->windowTitle(), QString("File Status"));
        QCOMPARE(current->findChild<QLabel*>("Optionlbl")->text(),
                 QString::fromStdString("Option file " + in.model + "/test1.opt"));
        QCOMPARE(current->findChild<QLabel*>("Messagelbl")->text(),
                 QString::fromStdString("Message file " + in.model + "/outputs/test1.msg"));
        in.find<QAction>("MnuCur")->trigger();
        QCOMPARE(in.window->findChildren<QWidget*>("Current").size(), qsizetype(1));
        QVERIFY(in.window->isEnabled()); // modeless
        QTest::keyClick(current, Qt::Key_Escape);
        QTRY_VERIFY(in.window->findChild<QWidget*>("Current") == nullptr);

        in.find<QAction>("MnuAbout")->trigger();
        auto* about = in.window->findChild<QWidget*>("about");
        QVERIFY(about);
        QCOMPARE(about->findChild<QLabel*>("Label1")->text(), QString("Kelvaro Model Interface "));
        QCOMPARE(about->findChild<QLabel*>("VerLbl")->text(), QString("Version 2005.1.0"));
        auto* date = about->findChild<QLabel*>("DateLbl");
        QCOMPARE(date->text(), QString("--first second"));
        QTest::keyClick(about, Qt::Key_F1);
        QVERIFY(date->isHidden());
        about->findChild<QPushButton*>("Command1")->click();
        QTRY_VERIFY(in.window->findChild<QWidget*>("about") == nullptr);

        in.window->showDiag();
        auto* diag = in.window->findChild<QWidget*>("frmdiag");
        QVERIFY(diag);
        QCOMPARE(diag->windowTitle(), QString("Packets from test1.opt"));
        auto* listing = diag->findChild<QListWidget*>("LstDiag");
        QVERIFY(listing->count() > 10);
        QCOMPARE(listing->item(1)->text(), QString("/RUNFILES/"));
        QVERIFY(listing->geometry().left() >= 0);

        in.session->scenario.optfile = "absent.opt";
        diag->close();
        QTRY_VERIFY(in.window->findChild<QWidget*>("frmdiag") == nullptr);
        in.window->showDiag();
        QVERIFY(in.window->findChild<QWidget*>("frmdiag") == nullptr);
        QVERIFY(in.ui.messageTexts().back().starts_with("Cannot list the packets of "));

        in.window->showBatch();
        auto* batch = in.window->findChild<QWidget*>("Batch");
        QVERIFY(batch && batch->windowTitle() == "Batch");
        QTest::keyClick(batch, Qt::Key_Escape);
        QTRY_VERIFY(in.window->findChild<QWidget*>("Batch") == nullptr);
    }

    void closingTheWindowEndsTheRunLikeExit() {
        Installation in;
        in.start();
        in.find<QAction>("MnuCur")->trigger();
        QSignalSpy ended(in.window.get(), &KVGui::finished);
        in.window->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(in.log().ends_with("Ending run\r\n****************************\r\n"));
        QTRY_VERIFY(in.window->findChild<QWidget*>("Current") == nullptr);
        in.find<QAction>("MnuExit")->trigger(); // once only
        QCOMPARE(ended.count(), 1);
    }

    void exitWithEditsAsksAndCancelKeepsTheWindow() {
        Installation in;
        in.start();
        QVERIFY(!in.window->isWindowModified());
        in.session->scenario.title1str = "EDITED"; // as the Options dialog stores it
        in.session->scenario.changed_options = true;
        in.window->refreshModified();
        QVERIFY(in.window->isWindowModified());
        QCOMPARE(shown_title(in.window.get()), QString("US XQB KELVARO MODEL (test1.opt)*"));

        QSignalSpy ended(in.window.get(), &KVGui::finished);
        in.ui.answerYesNoCancel(Answer::Cancel);
        in.find<QAction>("MnuExit")->trigger();
        in.ui.answerYesNoCancel(Answer::Cancel);
        in.window->close();
        QCOMPARE(ended.count(), 0);
        QVERIFY(in.window->isVisible());
        QCOMPARE(in.ui.questions, std::vector<std::string>(2, "Save changes to test1.opt?"));

        // Yes saves in place, then the program ends.
        in.ui.answerYesNoCancel(Answer::Yes);
        in.window->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(read_file(in.model + "/test1.opt").find("Title 1            : EDITED") !=
                std::string::npos);
        QVERIFY(in.log().ends_with("Ending run\r\n****************************\r\n"));
    }

    void recentFilesMenuListsWhatWasOpened() {
        Installation in;
        in.session->recentFiles.keepIn(in.bin + "/kv-gui-recent.txt");
        in.session->recentFiles.add(in.tmp.str() + "/gone & lost.opt");
        in.start();
        emit in.find<QMenu>("MenuFiles")->aboutToShow();
        auto* recent = in.find<QMenu>("MenuRecent");
        QCOMPARE(recent->title(), QString("Recent &Files"));
        QVERIFY(recent->menuAction()->isEnabled());
        QCOMPARE(in.find<QAction>("MnuRecent_0")->text(),
                 QString::fromStdString("&1 " + in.model + "/test1.opt"));
        QCOMPARE(in.find<QAction>("MnuRecent_1")->text(),
                 QString::fromStdString("&2 " + in.tmp.str() + "/gone && lost.opt"));
        in.find<QAction>("MnuRecent_1")->trigger();
        QCOMPARE(in.ui.messageTexts().back(),
                 "Options file not found: " + in.tmp.str() + "/gone & lost.opt");
        emit in.find<QMenu>("MenuFiles")->aboutToShow();
        QVERIFY(in.window->findChild<QAction*>("MnuRecent_1") == nullptr);

        // Opening one refills the list it was chosen from.
        in.ui.answerFile(in.model + "/copy.opt");
        in.find<QAction>("MnuFiles_2")->trigger();
        in.find<QAction>("MnuRecent_1")->trigger();
        QCOMPARE(shown_title(in.window.get()), QString("US XQB KELVARO MODEL (test1.opt)"));
        QCOMPARE(in.find<QAction>("MnuRecent_0")->text(),
                 QString::fromStdString("&1 " + in.model + "/test1.opt"));
    }

    void reportsStartTheRecordedProgram() {
        Installation in;
        in.start();
        in.find<QAction>("MnuAcc")->trigger();
        QVERIFY(in.ui.messages.empty());
        in.session->settings.accessexe = in.tmp.str() + "/NoAccess";
        in.find<QAction>("MnuAcc")->trigger();
        QVERIFY(in.ui.messageTexts().back().starts_with(
            "Problem starting the Reporting Utility\nCommand string: \n\n" + in.tmp.str() +
            "/noaccess "));
    }

    void realMessageBoxesAndDialogs() {
        QtUserInterface ui;
        QString seenText, seenTitle;
        QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
        int answerNo = 0;
        QTimer poll;
        QElapsedTimer clock;
        clock.start();
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                if (clock.elapsed() > 5000)
                    QApplication::exit(1);
                return;
            }
            seenText = box->text();
            seenTitle = box->windowTitle();
            seenIcon = box->icon();
            QAbstractButton* button = box->button(QMessageBox::No);
            if (button != nullptr)
                ++answerNo;
            else
                button = box->button(QMessageBox::Ok);
            button->click();
        });
        poll.start();
        ui.showMessage(
            "Problem starting Notepad\nMake sure notepad.exe exists and is in your path.",
            "US XQB KELVARO MODEL", MessageIcon::Exclamation);
        QCOMPARE(
            seenText,
            QString("Problem starting Notepad\nMake sure notepad.exe exists and is in your path."));
        QCOMPARE(seenTitle, QString("US XQB KELVARO MODEL"));
        QCOMPARE(seenIcon, QMessageBox::Warning);
        QVERIFY(!ui.askYesNo("Continue?", "US XQB KELVARO MODEL"));
        QCOMPARE(answerNo, 1);
        QCOMPARE(ui.askYesNoCancel("Save changes to test1.opt?", "US XQB KELVARO MODEL"),
                 Answer::No);
        QCOMPARE(seenText, QString("Save changes to test1.opt?"));
        QCOMPARE(answerNo, 2);
        poll.stop();

        QCOMPARE(QtUserInterface::nameFilters("model (*.exe)|*.exe", PathRules::posix()),
                 (QStringList{"model (*.exe *.EXE)", "All files (*)"}));
        QCOMPARE(QtUserInterface::nameFilters("(*.me)|*.me", PathRules::posix()),
                 (QStringList{"(*.me *.ME)"}));
        ui.setBusy(true);
        QVERIFY(QApplication::overrideCursor() != nullptr);
        ui.setBusy(false);
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A message file under a 200-character path: the window stays within the screen, the
    // label shortens the directory and keeps the name, size and date, and the tooltip and
    // text() hold the whole status as the core built it.
    void aLongPathIsShortenedInsideTheScreen() {
        Installation in;
        std::string dir = in.tmp.str() + "/";
        dir += std::string(200 - dir.size() - 10, 'd') + "/";
        const std::string msg = dir + "test1.msg";
        QCOMPARE(msg.size(), std::size_t(200));
        in.tmp.write(msg.substr(in.tmp.str().size() + 1), "message");
        in.writeOptions(msg);
        in.start();

        const QRect area = in.window->screen()->availableGeometry();
        const QRect frame = in.window->frameGeometry();
        QVERIFY2(frame.width() <= area.width(), qPrintable(QString::number(frame.width())));
        QVERIFY(frame.left() >= area.left() && frame.right() <= area.right());

        auto* label = in.find<StatusLabel>("VerLbl");
        QCOMPARE(label->text(), QString::fromStdString(in.ui.statuses.back().text));
        QCOMPARE(label->toolTip(), label->text());
        QCOMPARE(label->shownLines().size(), qsizetype(3));
        const QString shown = label->shownLines().at(1);
        const std::string line = text_lines(in.ui.statuses.back().text).at(1);
        const StatusLineParts parts = status_line_parts(line, PathRules::posix());
        QVERIFY(parts.rest.starts_with("test1.msg    "));
        QVERIFY2(shown.startsWith("Current Message File     : ") &&
                     shown.endsWith(QString::fromStdString(parts.rest)) &&
                     shown.contains(QChar(0x2026)),
                 qPrintable(shown));
        const QMargins m = label->contentsMargins();
        QVERIFY(label->fontMetrics().horizontalAdvance(shown) <=
                label->width() - m.left() - m.right() - 2 * label->margin());
        // The short lines are shown whole.
        QCOMPARE(label->shownLines().at(0), QString("Simulation Run Title       : TEST RUN"));
    }

    // A status set once with a line wider than the window widens the window as far as the
    // line needs, within the screen, and the line is shown whole.
    void aWiderStatusWidensTheWindowAtOnce() {
        Installation in;
        in.start();
        const QString line = "Current Message File     : /data/runs/spring 2026/california and "
                             "texas/new growth/test1.msg";
        StatusDisplay status;
        status.text = "Simulation Run Title       : TEST RUN\n" + line.toStdString() +
                      "\nCurrent Output Data File : test1.out";
        auto* label = in.find<StatusLabel>("VerLbl");
        QVERIFY(label->fontMetrics().horizontalAdvance(line) > label->width());
        in.window->applyStatus(status);
        QTRY_COMPARE(label->shownLines().at(1), line);
        const QRect area = in.window->screen()->availableGeometry();
        QVERIFY(in.window->frameGeometry().left() >= area.left() &&
                in.window->frameGeometry().right() <= area.right());
    }

    // "View Message File" follows the message file also after a read that ended early: at
    // start-up, and after an Open whose file named another message file before it ended.
    void theMessageButtonAfterAReadThatEndedEarly() {
        Installation in;
        const std::string cut =
            complete_options_file().substr(0, complete_options_file().find("California"));
        in.tmp.write("model/test1.opt", cut);
        in.start();
        QVERIFY(in.ui.messageTexts().at(0).starts_with("Read options error "));
        QVERIFY(!in.find<QPushButton>("View_Msg")->isVisible());

        in.writeOptions(in.model + "/outputs/test1.msg", "good.opt");
        in.tmp.write("model/outputs/test1.msg", "message");
        in.ui.answerFile(in.model + "/good.opt");
        in.find<QAction>("MnuFiles_0")->trigger();
        QVERIFY(in.find<QPushButton>("View_Msg")->isVisible());
        in.ui.answerFile(in.model + "/test1.opt"); // names /model/outputs/test1.msg, absent
        in.find<QAction>("MnuFiles_0")->trigger();
        QVERIFY(!in.find<QPushButton>("View_Msg")->isVisible());
    }

    // Ending while a box or file dialog waits: it closes, later ones answer at once. The file
    // dialog is the platform's unless Qt's own is asked for (here: Qt's own, large enough for
    // its columns).
    void endingClosesTheOpenDialogs() {
        QtUserInterface ui;
        bool askedForQtsOwn = true;
        QSize size;
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        QTimer::singleShot(100, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                askedForQtsOwn = dialog->testOption(QFileDialog::DontUseNativeDialog);
                size = dialog->size();
            }
            ui.endAllDialogs();
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close(); // only reached when ending failed
        });
        watchdog.start(5000);
        QElapsedTimer clock;
        clock.start();
        FileDialogRequest request;
        request.title = "Select Model";
        QVERIFY(!ui.chooseOpenFile(request).has_value());
        QVERIFY(clock.elapsed() < 4000);
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false);
        QVERIFY(!askedForQtsOwn);
        QVERIFY2(size.width() >= 800 && size.height() >= 500,
                 qPrintable(QString("%1x%2").arg(size.width()).arg(size.height())));
        ui.showMessage("Must select Model", "", MessageIcon::None);
        QVERIFY(!ui.askYesNo("Continue?", "US XQB KELVARO MODEL"));
        QVERIFY(!ui.chooseSaveFile(request).has_value());
        QVERIFY(clock.elapsed() < 4000);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // The program itself, in an installation of its own, told to end while it waits on the
    // user: on a first run (no kv-gui.ini) in the first prompt, on a later run in the
    // message about a refused default file, and in the question about a recovery file (which
    // stays: nobody answered). It ends at once, the log's last lines once.
    void terminationSignalsEndTheProgramWhileItWaits() {
        const QString kvgui = QStringLiteral(KV_BINARY_DIR "/bin/kvgui");
        QVERIFY(QFileInfo::exists(kvgui));
        struct Case {
            const char* name;
            int signal;
            bool laterRun;
            bool recovery = false;
        };
        const Case cases[] = {
            {"SIGTERM in the first-run prompt", SIGTERM, false},
            {"SIGINT in the first-run prompt", SIGINT, false},
            {"SIGTERM in a message box", SIGTERM, true},
            {"SIGHUP in a message box", SIGHUP, true},
            {"SIGHUP in the recovery question", SIGHUP, false, true},
        };
        for (const auto& c : cases) {
            TempDir tmp;
            const std::string bin = tmp.str() + "/bin";
            fs::create_directories(bin);
            std::error_code ec;
            fs::create_hard_link(kvgui.toStdString(), bin + "/kvgui", ec);
            if (ec)
                fs::copy_file(kvgui.toStdString(), bin + "/kvgui");
            if (c.laterRun) {
                const std::string model = tmp.str() + "/model";
                tmp.write("model/demo-model", "");
                tmp.write("model/test1.opt", without_packet(complete_options_file(), "/REGION/"));
                tmp.write("model/new.opt", "");
                tmp.write("data/kelvaro.me", "");
                Settings s;
                s.modeldir = model;
                s.modelexe = "demo-model";
                s.datadir = tmp.str() + "/data";
                s.accessexe = "/usr/bin/true";
                tmp.write("bin/kv-gui.ini", settings_file_text(s, "test1.opt", "new.opt"));
            }
            std::string recovery;
            if (c.recovery) {
                const std::string model = tmp.str() + "/model";
                fs::copy(KV_DEMO_DIR "/model", model, fs::copy_options::recursive);
                Settings s;
                s.modeldir = model;
                s.modelexe = "demo-model";
                s.datadir = KV_DEMO_DIR "/data";
                s.accessexe = "/usr/bin/true";
                tmp.write("bin/kv-gui.ini", settings_file_text(s, "demo.opt", "county.opt"));
                recovery = tmp.write("bin/demo.opt.recovery",
                                     "Written by Kelvaro interface at 1/2/2026 10:00:00 AM for "
                                     "unsaved changes to " +
                                         model + "/demo.opt\r\n" + read_file(model + "/demo.opt"));
            }
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QT_QPA_PLATFORM", "offscreen");
            process.setProcessEnvironment(env);
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(QString::fromStdString(bin + "/kvgui"), {});
            QVERIFY2(process.waitForStarted(5000), c.name);
            const std::string log = bin + "/region.txt";
            QTRY_VERIFY_WITH_TIMEOUT(fs::exists(log) && read_file(log).starts_with("Starting"),
                                     10000);
            QTest::qWait(500); // the prompt or box is up
            QCOMPARE(process.state(), QProcess::Running);
            QElapsedTimer clock;
            clock.start();
            ::kill(static_cast<pid_t>(process.processId()), c.signal);
            QVERIFY2(process.waitForFinished(3000), c.name);
            QVERIFY2(clock.elapsed() < 2000, c.name);
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            const std::string text = read_file(log);
            const std::string ending = "Ending run\r\n" + std::string(28, '*') + "\r\n";
            QVERIFY2(text.starts_with("Starting new run\r\n") && text.ends_with(ending) &&
                         text.find("Ending run") == text.rfind("Ending run"),
                     text.c_str());
            QVERIFY2(recovery.empty() || fs::exists(recovery), c.name);
        }
    }

    // The recovery file follows the edits a moment after they are committed, and goes at
    // once when they are saved or left unsaved on purpose.
    void theRecoveryFileFollowsTheEdits() {
        Installation in;
        in.start();
        const auto recoveries = [&in] {
            std::vector<fs::path> found;
            for (const auto& entry : fs::directory_iterator(in.session->stateDir)) {
                if (entry.path().extension() == ".recovery")
                    found.push_back(entry.path());
            }
            return found;
        };
        const auto edit = [&in](const char* title) {
            in.session->scenario.title1str = title; // as the Options dialog stores it
            in.session->scenario.changed_options = true;
            in.window->refreshModified();
        };
        edit("EDITED");
        QTRY_VERIFY_WITH_TIMEOUT(recoveries().size() == 1, 2000);
        QVERIFY(read_file(recoveries()[0]).find("Title 1            : EDITED") !=
                std::string::npos);
        in.find<QAction>("MnuFiles_1")->trigger();
        QVERIFY(recoveries().empty());

        edit("LEFT UNSAVED");
        QTRY_VERIFY_WITH_TIMEOUT(recoveries().size() == 1, 2000);
        in.ui.answerYesNoCancel(Answer::No);
        in.find<QAction>("MnuExit")->trigger();
        QVERIFY(in.window->ended());
        QVERIFY(recoveries().empty());
    }

    void terminationSignalsReachTheEventLoop() {
        SignalBridge bridge;
        QSignalSpy spy(&bridge, &SignalBridge::terminationRequested);
        std::raise(SIGTERM);
        QTRY_COMPARE(spy.count(), 1);
        std::raise(SIGINT);
        QTRY_COMPARE(spy.count(), 2);
        std::raise(SIGHUP);
        QTRY_COMPARE(spy.count(), 3);
    }

    // An installed program: Help > Open Demo copies the demo into the user's data folder and
    // opens its scenario, which the stand-in model runs; kv-gui.ini stays as it was.
    void helpOpenDemoOpensTheDemoScenario() {
        Installation in;
        in.tmp.write("share/metainfo/" + std::string(kAppId) + ".metainfo.xml", "<component/>");
        const fs::path installed = in.tmp.path() / "share" / KV_PACKAGE_NAME / "demo";
        fs::create_directories(installed);
        fs::copy(KV_SOURCE_DIR "/demo/model", installed / "model", fs::copy_options::recursive);
        fs::copy(KV_SOURCE_DIR "/demo/data", installed / "data", fs::copy_options::recursive);
        fs::copy_file(KV_DEMO_DIR "/model/demo-model", in.bin + "/demo-model");
        const std::string demo = in.tmp.str() + "/xdg/kelvaro/demo";
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(in.tmp.str() + "/xdg"));
        in.start();
        const std::string ini = read_file(in.bin + "/kv-gui.ini");
        if (qEnvironmentVariableIsSet("KV_SCREENSHOT_DIR")) {
            auto* help = in.find<QMenu>("MenuHelp");
            help->popup(in.window->mapToGlobal(QPoint(0, 0)));
            save_screenshot(help, "help-menu");
            help->hide();
        }
        in.find<QAction>("MnuDemo")->trigger();
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(shown_title(in.window.get()), QString("US XQB KELVARO MODEL (demo.opt)"));
        QCOMPARE(in.session->settings.modeldir, demo + "/model");
        in.find<QAction>("MnuRun")->trigger();
        QCOMPARE(in.ui.messageTexts(), std::vector<std::string>{});
        QVERIFY(in.status().contains("Current Message File     : demo.msg"));
        QVERIFY(read_file(demo + "/model/outputs/demo.msg").find("stand-in") != std::string::npos);
        save_screenshot(in.window.get(), "demo-opened");
        QCOMPARE(read_file(in.bin + "/kv-gui.ini"), ini);
    }

    void aSecondInstanceSeesTheLock() {
        TempDir d;
        const InstanceLock first(QString::fromStdString(d.str()));
        QVERIFY(!first.anotherInstanceRunning());
        const InstanceLock second(QString::fromStdString(d.str()));
        QVERIFY(second.anotherInstanceRunning());
        TempDir other;
        QVERIFY(!InstanceLock(QString::fromStdString(other.str())).anotherInstanceRunning());
    }
};

QTEST_MAIN(ShellGuiTest)
#include "shell_gui_test.moc"
