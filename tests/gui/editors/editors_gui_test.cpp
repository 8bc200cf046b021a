// The Scenario menu's dialogs, driven by object name on the offscreen platform.
#include "advanced/ui/advanced_editors.h"
#include "editors/ui/scenario_editors.h"
#include "gui_support/installation.h"
#include "shell/ui/dialog_registry.h"
#include "shell/ui/scenario_dialog.h"
#include "support/options_text.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
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

    // The window's close button with values OK refuses asks first: No keeps the window and
    // what was typed, Yes closes it and stores nothing.
    void closeButtonAsksBeforeDroppingRefusedValues() {
        Editors e;
        ScenarioDialog* d = e.open("MnuScen_0");
        for (const auto& [name, text] :
             {std::pair{"Mintemp", "70"}, {"Maxtemp", "60"}, {"Avgtemp", "65"}}) {
            auto* edit = e.in<QLineEdit>(d, name);
            edit->selectAll();
            QTest::keyClicks(edit, text);
        }
        e.ui.answerYesNo(false);
        QVERIFY(!d->close());
        QCOMPARE(e.window->dialogs().openDialog("MnuScen_0"), d);
        QCOMPARE(e.in<QLineEdit>(d, "Maxtemp")->text(), QString("60"));
        e.ui.answerYesNo(true);
        d->close();
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_0") == nullptr);
        const std::string question = "Maximum temperature must be at least the minimum "
                                     "temperature\n\nClose without keeping the changes?";
        QCOMPARE(e.ui.questions, std::vector<std::string>(2, question));
        QVERIFY(e.ui.messages.empty());
        QCOMPARE(e.session->scenario.maxtempstr, std::string("84."));
        QVERIFY(!e.window->isWindowModified());
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

        // By keyboard alone, a title typed and Enter; Escape in a later opening keeps that OK
        // for the save.
        for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
            d = e.open("MnuScen_0");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), key == Qt::Key_Return ? "Typed" : "No");
            QTest::keyClick(QApplication::focusWidget(), key);
            QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_0") == nullptr);
        }
        e.find<QAction>("MnuFiles_1")->trigger();
        QVERIFY(read_file(e.model + "/test1.opt").find("Title 1            : Typed\r\n") !=
                std::string::npos);

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

    // Every dialog of the Scenario and Advanced options menus opens with the focus on its first
    // control, and Tab goes round its controls in the order of the form; a frame of option
    // buttons is one stop, at its chosen button.
    void everyDialogOpensOnItsFirstControlAndTabsInTheFormsOrder() {
        Editors e;
        install_advanced_editors(e.window->dialogs(), *e.session);
        e.session->scenario.periodindex = 1; // monthly: a month and the day can be chosen
        const QString month = QString(" amonth_%1 ").arg(e.session->scenario.monthindex);
        const QString leave = " CmdLeave_1 CmdLeave_0";
        const QString lists = " CmdDel CmdLeave_1 Replace CmdLeave_0 CmdAdd";
        const QString factors = "df_emfac_0 df_emfac_1 df_emfac_2 df_emfac_3 ";
        const QString more = "df_emfac_7 df_emfac_8 df_emfac_9 df_emfac_10 df_emfac_11 "
                             "df_emfac_12 df_emfac_13 df_emfac_14";
        const std::pair<const char*, QString> dialogs[] = {
            {"MnuScen_0", "Titleone Titletwo fulrvp pcoxygen so2gas so2diesel so2marinediesel "
                          "cngsulfur Mintemp Maxtemp Avgtemp Stage2 altitude_1 Command1 Command2"},
            {"MnuScen_1",
             "thePeriod_1 ptype_0 aweek_0" + month + "Year growthYear techYear cmdOK cmdCancel"},
            {"MnuScen_2", "optreg_1 States Counties Addsel Delsel Regselect Command1 Command2"},
            {"MnuScen_3", "segment_0 FUEL_0 srcact_0 seg Addsel_0 Addsel_1 Selected lstcodes "
                          "CodeDesc RemSel Command1 Command2"},
            {"mnuadvopt_0", "cmdAddDel_0 Command1 cmdAddDel_1 SelEdit lstalloc txtalloc "
                            "cmdlookup cmdfin_0 cmdfin_1"},
            {"mnuadvopt_1", "txtSeason cmdChange_0 txtRegion cmdChange_1" + leave},
            {"mnuadvopt_2", "lstGrow txtgrow" + lists},
            {"mnuadvopt_3", "lstEquip SelEdit" + lists},
            {"mnuadvopt_4", "txtExhaustTech changeExhaustCommand txtEvaporativeTech "
                            "changeEvaporativeCommand" +
                                leave},
            {"mnuadvopt_5", factors + "df_emfac_4 df_emfac_5 df_emfac_6 " + more + leave},
            {"mnuadvopt_6", factors + more + leave},
            {"mnuadvopt_7", "txtActivity changeCommand" + leave},
            {"mnuadvopt_8", "txtUSCountiesFIPS changeCommand" + leave},
            {"mnuadvopt_9", "txtRetrofit changeCommand" + leave},
            {"mnuadvopt_10", "txtDaily changeCommand" + leave},
            {"mnuadvopt_11", "txteps cmdChange_0 chkbmy" + leave},
        };
        for (const auto& [item, names] : dialogs) {
            ScenarioDialog* dialog = e.open(item);
            const QStringList order = names.split(' ');
            QStringList seen;
            for (qsizetype i = 0; i <= order.size(); ++i) {
                QWidget* focus = QApplication::focusWidget();
                QVERIFY2(focus != nullptr && focus->window() == dialog, item);
                seen << focus->objectName();
                QTest::keyClick(focus, Qt::Key_Tab);
            }
            QCOMPARE(seen, order + QStringList{order.front()});
            dialog->closeWithoutStoring();
            QTRY_VERIFY(e.window->dialogs().openDialog(item) == nullptr);
        }
    }

    void sourcesAddsAndRemovesThroughTheLists() {
        Editors e;
        Scenario& sc = e.session->scenario;
        ScenarioDialog* d = e.open("MnuScen_3");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("sorces"));
        QCOMPARE(d->windowTitle(), QString("Sources"));
        QVERIFY(e.in<QRadioButton>(d, "segment_13")->isHidden());
        QVERIFY(e.in<QRadioButton>(d, "FUEL_3")->isHidden());
        auto* selected = e.in<QListWidget>(d, "Selected");
        auto* codes = e.in<QListWidget>(d, "lstcodes");
        auto* codeDesc = e.in<QListWidget>(d, "CodeDesc");
        QCOMPARE(selected->count(), 2);

        e.in<QRadioButton>(d, "segment_12")->click();
        QCOMPARE(e.in<QLineEdit>(d, "seg")->text(), QString("22820"));
        e.in<QRadioButton>(d, "FUEL_1")->click();
        e.in<QPushButton>(d, "Addsel_0")->click();
        e.in<QRadioButton>(d, "segment_11")->click();
        e.in<QRadioButton>(d, "FUEL_0")->click();
        e.in<QPushButton>(d, "Addsel_1")->click();
        QCOMPARE(selected->count(), 7);
        QCOMPARE(codes->item(2)->text(), QString("2282020000"));
        QCOMPARE(codeDesc->item(2)->text(),
                 QString("2282020000 All Diesel Recreational Marine Vessels Recreational Marine "
                         "Diesel"));
        QCOMPARE(sc.sourceCount(), std::size_t(7));
        QCOMPARE(sc.sources[2].scc, std::string("2282020000"));
        save_screenshot(d, "sources-dialog");

        // F12 hides the code list and shows it again; Delete removes the chosen lines.
        QTest::keyClick(selected, Qt::Key_F12);
        QVERIFY(codes->isHidden());
        QTest::keyClick(selected, Qt::Key_F12);
        QVERIFY(!codes->isHidden());
        codeDesc->item(3)->setSelected(true);
        selected->setCurrentRow(0);
        QTest::keyClick(selected, Qt::Key_Delete);
        QCOMPARE(selected->count(), 5);
        QCOMPARE(codes->item(0)->text(), QString("2270002015"));
        QCOMPARE(codes->item(2)->text(), QString("2285002015"));

        e.in<QPushButton>(d, "Command1")->click();
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_3") == nullptr);
        QCOMPARE(sc.sourceCount(), std::size_t(5));
        QCOMPARE(sc.sources[1].scc, std::string("2282020000"));
        QVERIFY(sc.sources_on);

        // Reading another file closes the dialog; its list is the new file's.
        d = e.open("MnuScen_3");
        e.in<QRadioButton>(d, "srcact_1")->click();
        QVERIFY(!sc.sources_on);
        QVERIFY(!e.in<QPushButton>(d, "Addsel_0")->isEnabled());
        e.tmp.write("model/other.opt", complete_options_file());
        e.ui.answerFile(e.model + "/other.opt");
        e.find<QAction>("MnuFiles_0")->trigger();
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_3") == nullptr);
        QCOMPARE(sc.optfile, std::string("other.opt"));
        QVERIFY(sc.sources_on);
        QCOMPARE(sc.sourceCount(), std::size_t(2));
    }

    void regionCommitsAStateAndRegeneratesItsPackets() {
        Editors e;
        // The data tree as copied from Windows: folder and file names in any case.
        for (const char* name :
             {"allocate/CA_pop.alo", "allocate/ca_house.alo", "allocate/tx_const.alo",
              "allocate/NV_house.alo", "POP/CA.pop", "POP/nv.pop"})
            e.tmp.write(std::string("data/") + name, "demo");
        // A first save gives the file as this program writes it, before any edit.
        e.find<QAction>("MnuFiles_1")->trigger();
        const std::string before = read_file(e.model + "/test1.opt");

        QVERIFY(e.find<QAction>("MnuScen_2")->isEnabled());
        ScenarioDialog* d = e.open("MnuScen_2");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("Region"));
        QCOMPARE(d->windowTitle(), QString("Region"));
        QVERIFY(e.in<QRadioButton>(d, "optreg_1")->isChecked());
        QVERIFY(!e.in<QRadioButton>(d, "optreg_4")->isVisible());
        QTest::mouseClick(e.in<QRadioButton>(d, "optreg_1"), Qt::LeftButton);

        // Nevada chosen by typing its first letters, added with the mouse.
        auto* states = e.in<QListWidget>(d, "States");
        states->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(states, "Nev");
        QCOMPARE(states->currentItem()->text(), QString("Nevada"));
        QTest::mouseClick(e.in<QPushButton>(d, "Addsel"), Qt::LeftButton);
        auto* selection = e.in<QListWidget>(d, "Regselect");
        const auto lines = [selection] {
            QStringList out;
            for (int i = 0; i < selection->count(); ++i)
                out << selection->item(i)->text();
            return out;
        };
        QCOMPARE(lines(), (QStringList{"California", "Texas", "Nevada"}));
        // Delete removes the selected line's entry.
        const QRect texas = selection->visualItemRect(selection->item(1));
        QTest::mouseClick(selection->viewport(), Qt::LeftButton, {}, texas.center());
        QTest::keyClick(selection, Qt::Key_Delete);
        QCOMPARE(lines(), (QStringList{"California", "Nevada"}));
        QVERIFY(e.ui.messages.empty());

        e.in<QPushButton>(d, "Command1")->click();
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_2") == nullptr);
        const Scenario& sc = e.session->scenario;
        QCOMPARE(sc.regionlevel, std::int16_t(1));
        QCOMPARE(sc.regions.size(), std::size_t(2));
        QCOMPARE(sc.regions.at(1)->code, std::string("32000"));
        QVERIFY(sc.changed_region && sc.changed_alloc && sc.changed_pop);
        QCOMPARE(sc.allocfiles.size(), std::size_t(3));
        QCOMPARE(sc.allocfiles.at(2)->allocfile, e.data + "/allocate/NV_house.alo");
        QCOMPARE(sc.popfiles.at(1)->allocfile, e.data + "/POP/nv.pop");

        // Saving regenerates the three packets and nothing else.
        e.find<QAction>("MnuFiles_1")->trigger();
        const std::string after = read_file(e.model + "/test1.opt");
        const auto body = [](const std::string& text) {
            return text.substr(text.find("\r\n") + 2);
        };
        std::string expected = with_packet_body(body(before), "/REGION/",
                                                "Region Level       : STATE\r\n"
                                                "California         : 06000\r\n"
                                                "Nevada             : 32000\r\n");
        expected =
            with_packet_body(expected, "/ALLOC FILES/",
                             "Family housing     :" + e.data + "/allocate/ca_house.alo\r\n" +
                                 "Census population  :" + e.data + "/allocate/CA_pop.alo\r\n" +
                                 "Family housing     :" + e.data + "/allocate/NV_house.alo\r\n");
        expected = with_packet_body(expected, "/POP FILES/",
                                    "Population File    : " + e.data + "/POP/CA.pop\r\n" +
                                        "Population File    : " + e.data + "/POP/nv.pop\r\n");
        QCOMPARE(body(after), expected);

        // At the county level a click on a state lists its counties; Escape keeps the region.
        d = e.open("MnuScen_2");
        QTest::mouseClick(e.in<QRadioButton>(d, "optreg_2"), Qt::LeftButton);
        states = e.in<QListWidget>(d, "States");
        const std::size_t queries = e.refdbs.db->queries.size();
        states->scrollToItem(states->item(4));
        QTest::mouseClick(states->viewport(), Qt::LeftButton, {},
                          states->visualItemRect(states->item(4)).center());
        auto* counties = e.in<QListWidget>(d, "Counties");
        QCOMPARE(counties->count(), 58);
        QCOMPARE(e.refdbs.db->queries.size(), queries + 1); // one click, one query
        counties->scrollToItem(counties->item(18));
        const QPoint losAngeles = counties->visualItemRect(counties->item(18)).center();
        QTest::mouseClick(counties->viewport(), Qt::LeftButton, {}, losAngeles);
        QTest::mouseDClick(counties->viewport(), Qt::LeftButton, {}, losAngeles);
        selection = e.in<QListWidget>(d, "Regselect");
        QCOMPARE(selection->item(selection->count() - 1)->text(), QString("Los Angeles County CA"));
        save_screenshot(d, "region-dialog");
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_2") == nullptr);
        QCOMPARE(sc.regions.size(), std::size_t(2));
        QCOMPARE(sc.regionlevel, std::int16_t(1));
        QVERIFY(e.ui.messages.empty());

        // A state clicked, one of its counties, then the State level: the state still
        // highlighted is the one Add takes.
        d = e.open("MnuScen_2");
        QTest::mouseClick(e.in<QRadioButton>(d, "optreg_2"), Qt::LeftButton);
        e.in<QListWidget>(d, "States")->setCurrentRow(2);
        e.in<QListWidget>(d, "Counties")->setCurrentRow(0);
        QTest::mouseClick(e.in<QRadioButton>(d, "optreg_1"), Qt::LeftButton);
        QTest::mouseClick(e.in<QPushButton>(d, "Addsel"), Qt::LeftButton);
        selection = e.in<QListWidget>(d, "Regselect");
        QCOMPARE(selection->item(selection->count() - 1)->text(), QString("Arizona"));
        QVERIFY(e.ui.messages.empty());
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_2") == nullptr);
    }

    void periodStoresClickedAndTypedValuesOnOk() {
        Editors e;
        ScenarioDialog* d = e.open("MnuScen_1");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("Periodfrm"));
        QCOMPARE(d->windowTitle(), QString("Period"));
        QVERIFY(QString::fromStdString(e.log()).contains(
            "Period selected\r\nEntering Period form load\r\n"));
        // The file's period is annual: no month or season can be chosen.
        QVERIFY(e.in<QRadioButton>(d, "thePeriod_0")->isChecked());
        QVERIFY(!e.in<QRadioButton>(d, "amonth_0")->isEnabled());

        QTest::mouseClick(e.in<QRadioButton>(d, "thePeriod_1"), Qt::LeftButton);
        auto* november = e.in<QRadioButton>(d, "amonth_10");
        QVERIFY(november->isEnabled());
        QVERIFY(!e.in<QRadioButton>(d, "aseason_0")->isEnabled());
        QTest::mouseClick(november, Qt::LeftButton);
        save_screenshot(d, "period-dialog");
        // The arrow keys move the choice on to December.
        QTest::keyClick(november, Qt::Key_Down);
        QVERIFY(e.in<QRadioButton>(d, "amonth_11")->isChecked());

        // A year outside the range keeps the dialog open with the text as typed.
        auto* tech = e.in<QLineEdit>(d, "techYear");
        tech->setFocus(Qt::TabFocusReason);
        tech->selectAll();
        QTest::keyClicks(tech, "2051");
        e.in<QPushButton>(d, "cmdOK")->click();
        QCOMPARE(e.ui.messageTexts().back(),
                 std::string("Tech year 2051 is outside allowed range 1970-2050."));
        QCOMPARE(e.window->dialogs().openDialog("MnuScen_1"), d);

        QTest::keyClick(tech, Qt::Key_Backspace);
        QTest::keyClicks(tech, "0");
        QTest::keyClick(tech, Qt::Key_Return);
        QTRY_VERIFY(e.window->dialogs().openDialog("MnuScen_1") == nullptr);
        const Scenario& sc = e.session->scenario;
        QCOMPARE(sc.periodindex, std::int16_t(1));
        QCOMPARE(sc.monthindex, std::int16_t(11));
        QCOMPARE(sc.techyearstr, std::string("2050"));
        QVERIFY(sc.changed_period);
    }
};

QTEST_MAIN(EditorsGuiTest)
#include "editors_gui_test.moc"
