// The Scenario menu's dialogs, driven by object name on the offscreen platform.
#include "editors/ui/scenario_editors.h"
#include "gui_support/installation.h"
#include "shell/ui/dialog_registry.h"
#include "shell/ui/scenario_dialog.h"
#include "support/options_text.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace kv;
using namespace kv::test;

namespace {

// A started installation with the Scenario menu's dialogs.
struct Editors : Installation {
    Editors() {
        start();
        install_scenario_editors(window->dialogs(), *session);
    }
    // Opens the dialog of a menu item and answers its window.
    ScenarioDialog* open(const char* item) {
        find<QAction>(item)->trigger();
        ScenarioDialog* dialog = window->dialogs().openDialog(item);
        if (dialog != nullptr) {
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog))
                qWarning("dialog not active");
        }
        return dialog;
    }
    template <class T> T* in(QWidget* dialog, const char* name) {
        T* w = dialog->findChild<T*>(name);
        if (w == nullptr)
            qWarning("no control %s", name);
        return w;
    }
};

} // namespace

class EditorsGuiTest : public QObject {
    Q_OBJECT

private slots:
    void optionsStoresTypedValuesOnOk() {
        Editors e;
        QVERIFY(e.find<QAction>("MnuScen_0")->isEnabled());
        ScenarioDialog* d = e.open("MnuScen_0");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("Options"));
        QCOMPARE(d->windowTitle(), QString("Options"));
        save_screenshot(d, "options-dialog");
        auto* title = e.in<QLineEdit>(d, "Titleone");
        QCOMPARE(title->text(), QString("TEST RUN"));

        title->setFocus(Qt::TabFocusReason);
        title->selectAll();
        QTest::keyClicks(title, "Edited run");
        auto* rvp = e.in<QLineEdit>(d, "fulrvp");
        rvp->setFocus(Qt::TabFocusReason);
        rvp->selectAll();
        QTest::keyClicks(rvp, "3");
        // Leaving the field checks it: the marker and the range message.
        QTest::keyClick(rvp, Qt::Key_Tab);
        QCOMPARE(rvp->text(), QString("****"));
        QCOMPARE(e.ui.messageTexts().back(), std::string("Invalid 6 to 16"));
        rvp->setFocus(Qt::TabFocusReason);
        rvp->selectAll();
        QTest::keyClicks(rvp, "8.5");
        e.in<QRadioButton>(d, "altitude_1")->click();

        // The menu item brings the open dialog forward without loading it again.
        QCOMPARE(e.open("MnuScen_0"), d);
        QCOMPARE(title->text(), QString("Edited run"));

        e.in<QPushButton>(d, "Command1")->click();
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_0") == nullptr);
        QCOMPARE(e.session->scenario.title1str, std::string("Edited run"));
        QCOMPARE(e.session->scenario.fulrvpstr, std::string("8.5"));
        QCOMPARE(e.session->scenario.altitudestr, std::string("LOW"));
        QVERIFY(e.session->scenario.changed_options);
        QVERIFY(e.status().startsWith("Simulation Run Title       : Edited run\n"));
        QVERIFY(e.window->isWindowModified());
    }

    void escapeAndAnotherFileLeaveTheScenarioAlone() {
        Editors e;
        ScenarioDialog* d = e.open("MnuScen_0");
        e.in<QLineEdit>(d, "Titleone")->setText("Never stored");
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_0") == nullptr);
        QCOMPARE(e.session->scenario.title1str, std::string("TEST RUN"));
        QVERIFY(!e.session->scenario.changed_options);
        QVERIFY(!e.window->isWindowModified());

        // File > Open closes the dialog without storing its values into the new file.
        d = e.open("MnuScen_0");
        e.in<QLineEdit>(d, "Titleone")->setText("From the old file");
        e.tmp.write("model/other.opt", with_packet_body(complete_options_file(), "/OPTIONS/",
                                                        "Title 1            : Other\r\n"));
        e.ui.answerFile(e.model + "/other.opt");
        e.find<QAction>("MnuFiles_0")->trigger();
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_0") == nullptr);
        QCOMPARE(e.session->scenario.optfile, std::string("other.opt"));
        QCOMPARE(e.session->scenario.title1str, std::string("OTHER"));
    }
};

QTEST_MAIN(EditorsGuiTest)
#include "editors_gui_test.moc"
