// The Advanced options menu's dialogs, driven by object name on the offscreen platform.
#include "advanced/geoalloc_dialog.h"
#include "advanced/single_file_dialog.h"
#include "advanced/ui/advanced_editors.h"
#include "gui_support/installation.h"
#include "shell/ui/dialog_registry.h"
#include "shell/ui/scenario_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QtTest>
#include <functional>

using namespace kv;
using namespace kv::test;

namespace {

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A started installation with the Advanced options menu's dialogs.
struct Advanced : Installation {
    Advanced() {
        start();
        install_advanced_editors(window->dialogs(), *session);
    }
    ScenarioDialog* open(std::string_view item) {
        find<QAction>(item.data())->trigger();
        ScenarioDialog* dialog = window->dialogs().openDialog(qs(item));
        if (dialog != nullptr) {
            dialog->activateWindow();
            if (!QTest::qWaitForWindowActive(dialog))
                qWarning("dialog not active");
        }
        return dialog;
    }
    bool closed(std::string_view item) const {
        return window->dialogs().openDialog(qs(item)) == nullptr;
    }
    template <class T> T* in(QWidget* dialog, std::string_view name) {
        T* w = dialog->findChild<T*>(qs(name));
        if (w == nullptr)
            qWarning("no control %s", std::string(name).c_str());
        return w;
    }
};

} // namespace

class AdvancedGuiTest : public QObject {
    Q_OBJECT

private slots:
    void activityTakesTheChosenFileOnOk() {
        Advanced a;
        QVERIFY(a.find<QAction>("mnuadvopt_7")->isEnabled());
        ScenarioDialog* d = a.open("mnuadvopt_7");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("frmActiv"));
        QCOMPARE(d->windowTitle(), QString("Activity"));
        auto* ok = a.in<QPushButton>(d, "CmdLeave_1");
        QCOMPARE(ok->text(), QString("OK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(a.in<QPushButton>(d, "CmdLeave_0")->text(), QString("Cancel"));

        // A missing name is reported and the scenario's value put back.
        auto* text = a.in<QLineEdit>(d, "txtActivity");
        text->setText("nowhere.dat");
        ok->click();
        QCOMPARE(a.ui.messageTexts().back(), std::string("nowhere.dat does not exist"));
        QCOMPARE(text->text(), QString());
        QVERIFY(!a.closed("mnuadvopt_7"));

        const std::string chosen = a.tmp.write("data/ACTIVITY/act.dat", "x");
        a.ui.answerFile(chosen);
        a.in<QPushButton>(d, "changeCommand")->click();
        QCOMPARE(a.ui.dialogs.back().request.title, std::string("Select Activity file"));
        QCOMPARE(text->text(), QString::fromStdString(chosen));
        // The menu item brings the open dialog forward with its text in place.
        QCOMPARE(a.open("mnuadvopt_7"), d);
        QCOMPARE(text->text(), QString::fromStdString(chosen));
        // Left, the box shows the end of the path, its file name, wherever the cursor was.
        text->setFocus(Qt::TabFocusReason);
        QTest::keyClick(text, Qt::Key_Home);
        QTest::keyClick(text, Qt::Key_Tab);
        QVERIFY(!text->hasFocus());
        QCOMPARE(text->cursorPosition(), text->text().size());
        ok->click();
        QTRY_VERIFY(a.closed("mnuadvopt_7"));
        QCOMPARE(a.session->scenario.runfiles[kActivity], chosen);
    }

    // Every member from its menu item: its controls as the table has them, hidden rows really
    // hidden, Escape leaving the scenario alone.
    void everyMemberShowsItsRows() {
        Advanced a;
        // A long path of the data tree in every slot.
        auto& runfiles = a.session->scenario.runfiles;
        for (std::size_t i = 0; i < runfiles.size(); ++i)
            runfiles[i] = a.data + "/kelvaro 2026/SEASON/file" + std::to_string(i) + ".dat";
        const auto before = runfiles;
        for (const SingleFileMember& m : single_file_members()) {
            ScenarioDialog* d = a.open(m.menuItem);
            QVERIFY(d != nullptr);
            QCOMPARE(d->objectName(), qs(m.form));
            QCOMPARE(d->windowTitle(), qs(m.caption));
            QCOMPARE(d->centredWhenLoaded(), m.centred);
            for (const SingleFileRow& row : m.rows) {
                auto* text = a.in<QLineEdit>(d, row.textBox);
                auto* button = a.in<QPushButton>(d, row.changeButton);
                QVERIFY(text != nullptr && button != nullptr);
                QCOMPARE(text->isVisible(), !row.hidden);
                QCOMPARE(button->isVisible(), !row.hidden);
                QCOMPARE(button->text(), qs(row.changeCaption));
                if (row.slot)
                    QCOMPARE(text->text().toStdString(), runfiles[*row.slot]);
                if (!row.label.empty()) {
                    auto* label = a.in<QLabel>(d, row.label);
                    QCOMPARE(label->text(), qs(row.labelText));
                    QCOMPARE(label->isVisible(), !row.hidden);
                    // Nothing cut off: the label has the room its text needs.
                    if (!row.hidden)
                        QVERIFY(label->height() >= label->heightForWidth(label->width()));
                }
                if (!row.hidden)
                    QVERIFY(text->width() >= text->fontMetrics().horizontalAdvance(text->text()));
            }
            if (m.byModelYear) {
                auto* box = a.in<QCheckBox>(d, m.byModelYear->checkBox);
                QVERIFY(box->isVisible());
                QCOMPARE(box->text(), qs(m.byModelYear->caption));
                QVERIFY(box->width() >= box->sizeHint().width());
                QVERIFY(a.in<QLabel>(d, m.byModelYear->label)->isVisible());
            }
            save_screenshot(d, std::string(m.form).c_str());
            for (QLineEdit* edit : d->findChildren<QLineEdit*>())
                edit->setText("typed");
            QTest::keyClick(d, Qt::Key_Escape);
            QTRY_VERIFY(a.closed(m.menuItem));
        }
        QVERIFY(runfiles == before);
        QVERIFY(a.ui.messages.empty());
    }

    // Emission Factors: a file chosen through the dialog's own menu, Enter as OK, the slot and
    // the edit flag.
    void emissionFactorsTakesAFileChosenFromItsMenu() {
        Advanced a;
        Scenario& sc = a.session->scenario;
        sc.emfacfiles = {};
        sc.emfacfiles[0] = a.tmp.write("data/emsfac/exhthc.emf", "x");
        sc.changed_emfac = false;
        ScenarioDialog* d = a.open("mnuadvopt_5");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("Emiss"));
        QCOMPARE(d->windowTitle(), QString("EmissionFactors"));
        QVERIFY(sc.changed_emfac); // opening is enough
        auto* menu = a.in<QMenu>(d, "mnuadel");
        QCOMPARE(menu->title(), QString("&Add/Change files"));
        QCOMPARE(menu->actions().size(), 15);
        QCOMPARE(menu->actions()[5]->objectName(), QString("mnuDF_5"));
        QCOMPARE(menu->actions()[5]->text(), QString("C&rankcase"));
        for (const char* name : {"CmdLeave_0", "CmdLeave_1"})
            QVERIFY(!a.in<QPushButton>(d, name)->isDefault());

        const std::string chosen = a.tmp.write("data/emsfac/runloss.emf", "x");
        a.ui.answerFile(chosen);
        a.in<QAction>(d, "mnuDF_14")->trigger();
        QCOMPARE(a.ui.dialogs.back().request.title, std::string("Select a RuningLoss file"));
        auto* runloss = a.in<QLineEdit>(d, "df_emfac_14");
        QCOMPARE(runloss->text(), QString::fromStdString(chosen));

        // Enter in a row is OK: the first missing row is reported and the dialog stays.
        auto* nox = a.in<QLineEdit>(d, "df_emfac_2");
        nox->setText("nowhere.emf");
        QTest::keyClick(nox, Qt::Key_Return);
        QCOMPARE(a.ui.messageTexts().back(), std::string("nowhere.emf does not exist"));
        QVERIFY(!a.closed("mnuadvopt_5"));
        nox->clear();
        QTest::keyClick(runloss, Qt::Key_Return);
        QTRY_VERIFY(a.closed("mnuadvopt_5"));
        QCOMPARE(sc.emfacfiles[14], chosen);
        QCOMPARE(sc.emfacfiles[2], std::string());
    }

    // Deterioration Factors: three rows without a text box; the ways out of the dialog.
    void deteriorationFactorsHidesThreeRowsAndRemembersCancel() {
        Advanced a;
        Scenario& sc = a.session->scenario;
        sc.changed_emfac = false;
        for (std::size_t k = 0; k < 15; ++k)
            sc.detfiles[k] = a.tmp.write(
                "data/kelvaro 2026/deterioration factors/row" + std::to_string(k) + ".det", "x");
        const auto before = sc.detfiles;
        const std::string bsfc = a.tmp.write("data/detfac/bsfc.det", "x");
        ScenarioDialog* d = a.open("mnuadvopt_6");
        QCOMPARE(d->objectName(), QString("Deterior"));
        QCOMPARE(d->windowTitle(), QString("Deterioration Factors"));
        for (std::size_t k = 0; k < 15; ++k) {
            const std::string n = std::to_string(k);
            auto* text = a.in<QLineEdit>(d, "df_emfac_" + n);
            QCOMPARE(text->isVisible(), k < 4 || k > 6);
            QVERIFY(a.in<QLabel>(d, "lblDF_" + n)->isVisible());
            QCOMPARE(text->text().toStdString(), before[k]);
            // Long paths of the data tree are readable whole.
            if (text->isVisible())
                QVERIFY(text->width() >= text->fontMetrics().horizontalAdvance(text->text()));
        }
        save_screenshot(d, "Deterior");

        // Escape, the close button (after a Cancel: nothing stored), Cancel, then OK.
        const std::function<void()> exits[] = {
            [&] { QTest::keyClick(d, Qt::Key_Escape); },
            [&] { d->close(); },
            [&] { a.in<QPushButton>(d, "CmdLeave_0")->click(); },
            [&] { a.in<QPushButton>(d, "CmdLeave_1")->click(); },
        };
        for (std::size_t pass = 0; pass < 4; ++pass) {
            if (pass > 0)
                d = a.open("mnuadvopt_6");
            a.ui.answerFile(bsfc);
            a.in<QAction>(d, "mnuDF_4")->trigger();
            QCOMPARE(a.in<QLineEdit>(d, "df_emfac_4")->text(), QString::fromStdString(bsfc));
            exits[pass]();
            QTRY_VERIFY(a.closed("mnuadvopt_6"));
            QCOMPARE(sc.detfiles[4], pass < 3 ? before[4] : bsfc);
        }
        QVERIFY(!sc.changed_emfac);
        QVERIFY(a.ui.messages.empty());
    }

    // Geographic Allocation: Add through the Open dialog, a click, Delete, Change Look up, OK.
    void geoallocCommitsTheListOnOk() {
        Advanced a;
        Scenario& sc = a.session->scenario;
        ScenarioDialog* d = a.open("mnuadvopt_0");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("geoalloc"));
        QCOMPARE(d->windowTitle(), QString("Geographic Allocation"));
        const char* captions[][2] = {{"cmdAddDel_0", "Add..."},       {"Command1", "Replace"},
                                     {"cmdAddDel_1", "Delete"},       {"cmdfin_0", "OK"},
                                     {"cmdlookup", "Change Look up"}, {"cmdfin_1", "Cancel"}};
        for (const auto& [name, caption] : captions)
            QCOMPARE(a.in<QPushButton>(d, name)->text(), QString(caption));
        QVERIFY(a.in<QPushButton>(d, "cmdfin_0")->isDefault());
        auto* list = a.in<QListWidget>(d, "lstalloc");
        QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);

        const std::string added = a.tmp.write("data/ALLOCATE/tx_house.alo", "x");
        a.ui.answerFile(added);
        a.in<QPushButton>(d, "cmdAddDel_0")->click();
        QCOMPARE(list->count(), 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(a.in<QLineEdit>(d, "SelEdit")->text(), QString("/data/ALLOCATE/ca_pop.alo"));
        a.in<QPushButton>(d, "cmdAddDel_1")->click();
        const std::string xref = a.tmp.write("data/ALLOCATE/new.xrf", "x");
        a.ui.answerFile(xref);
        a.in<QPushButton>(d, "cmdlookup")->click();
        save_screenshot(d, "geoalloc");
        a.in<QPushButton>(d, "cmdfin_0")->click();
        QTRY_VERIFY(a.closed("mnuadvopt_0"));
        QCOMPARE(sc.allocfiles.size(), std::size_t(2));
        QCOMPARE(sc.allocfiles.at(1)->allocfile, added);
        QCOMPARE(sc.allocfiles.at(1)->descriptor, std::string("Family housing     :"));
        QCOMPARE(sc.runfiles[kAllocXref], xref);
        QVERIFY(sc.changed_alloc);
        QCOMPARE(a.ui.messageTexts().back(), std::string(GeoAllocDialog::kRegionNote));
    }

    // A file added and kept by the close button reaches the next save. One added but not
    // kept is gone once the dialog has closed, also when a File > Open that closed it was
    // cancelled.
    void geoallocKeepsWhatItsCloseButtonCommitsAndNothingElse() {
        Advanced a;
        const Scenario& sc = a.session->scenario;
        ScenarioDialog* d = a.open("mnuadvopt_0");
        const std::string kept = a.tmp.write("data/ALLOCATE/tx_house.alo", "x");
        a.ui.answerFile(kept);
        a.in<QPushButton>(d, "cmdAddDel_0")->click();
        d->close();
        QTRY_VERIFY(a.closed("mnuadvopt_0"));
        QVERIFY(sc.changed_alloc);
        a.find<QAction>("MnuFiles_1")->trigger();
        QVERIFY(read_file(a.model + "/test1.opt").find(":" + kept + "\r\n") != std::string::npos);

        d = a.open("mnuadvopt_0");
        a.ui.answerFile(a.tmp.write("data/ALLOCATE/tx_pop.alo", "x"));
        a.in<QPushButton>(d, "cmdAddDel_0")->click();
        a.tmp.write("model/broken.opt", "/OPTIONS/\r\n/END/\r\n");
        a.ui.answerFile(a.model + "/broken.opt");
        a.ui.answerFile(std::nullopt); // Cancel where another file is asked for
        a.find<QAction>("MnuFiles_0")->trigger();
        QTRY_VERIFY(a.closed("mnuadvopt_0"));
        QCOMPARE(sc.optfile, std::string("test1.opt"));
        d = a.open("mnuadvopt_0");
        QCOMPARE(a.in<QListWidget>(d, "lstalloc")->count(), 3);
    }

    // Growth: Add, a click giving the text box the line and the focus, Replace hiding it, OK.
    void growthCommitsTheListOnOk() {
        Advanced a;
        ScenarioDialog* d = a.open("mnuadvopt_2");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("frmgrow"));
        QCOMPARE(d->windowTitle(), QString("Growth"));
        const char* captions[][2] = {{"CmdDel", "Delete"},
                                     {"CmdLeave_1", "OK"},
                                     {"Replace", "Replace"},
                                     {"CmdLeave_0", "Cancel"},
                                     {"CmdAdd", "Add..."}};
        for (const auto& [name, caption] : captions)
            QCOMPARE(a.in<QPushButton>(d, name)->text(), QString(caption));
        auto* list = a.in<QListWidget>(d, "lstGrow");
        auto* text = a.in<QLineEdit>(d, "txtgrow");
        auto* label = a.in<QLabel>(d, "current_label");
        QCOMPARE(label->text(), QString("Current Selection"));

        const std::string added = a.tmp.write("data/growth/state.grw", "x");
        a.ui.answerFile(added);
        a.in<QPushButton>(d, "CmdAdd")->click();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(0)).center());
        QCOMPARE(text->text(), QString("/data/growth/nation.grw"));
        QVERIFY(text->hasFocus());
        const std::string replacement = a.tmp.write("data/growth/region.grw", "x");
        text->setText(QString::fromStdString(replacement));
        a.in<QPushButton>(d, "Replace")->click();
        QVERIFY(text->isHidden() && label->isHidden());
        save_screenshot(d, "frmgrow");
        a.in<QPushButton>(d, "CmdLeave_1")->click();
        QTRY_VERIFY(a.closed("mnuadvopt_2"));
        QVERIFY(a.session->scenario.growthfiles ==
                (std::vector<std::string>{replacement, added, ""}));
        QVERIFY(a.session->scenario.changed_growth);
    }

    // Equipment Population: Add, Replace on the current line, OK; Escape later changes nothing.
    void equipmentPopulationCommitsTheListOnOk() {
        Advanced a;
        Scenario& sc = a.session->scenario;
        ScenarioDialog* d = a.open("mnuadvopt_3");
        QVERIFY(d != nullptr);
        QCOMPARE(d->objectName(), QString("frmEquip"));
        QCOMPARE(d->windowTitle(), QString("Equipment Population"));
        auto* list = a.in<QListWidget>(d, "lstEquip");
        auto* text = a.in<QLineEdit>(d, "SelEdit");
        const std::string added = a.tmp.write("data/pop/nv.pop", "x");
        a.ui.answerFile(added);
        a.in<QPushButton>(d, "CmdAdd")->click();
        list->setCurrentRow(1);
        QCOMPARE(text->text(), QString("/data/pop/tx.pop"));
        const std::string replacement = a.tmp.write("data/pop/az.pop", "x");
        text->setText(QString::fromStdString(replacement));
        a.in<QPushButton>(d, "Replace")->click();
        save_screenshot(d, "frmEquip");
        a.in<QPushButton>(d, "CmdLeave_1")->click();
        QTRY_VERIFY(a.closed("mnuadvopt_3"));
        QCOMPARE(sc.popfiles.size(), std::size_t(3));
        QCOMPARE(sc.popfiles.at(1)->allocfile, replacement);
        QCOMPARE(sc.popfiles.at(2)->descriptor, std::string("Population file    :"));
        QVERIFY(sc.changed_pop);

        d = a.open("mnuadvopt_3");
        a.in<QListWidget>(d, "lstEquip")->setCurrentRow(2);
        QCOMPARE(a.in<QLineEdit>(d, "SelEdit")->text(), QString::fromStdString(added));
        a.in<QListWidget>(d, "lstEquip")->selectAll();
        a.in<QPushButton>(d, "CmdDel")->click();
        QCOMPARE(a.in<QLineEdit>(d, "SelEdit")->text(), QString());
        QTest::keyClick(d, Qt::Key_Escape);
        QTRY_VERIFY(a.closed("mnuadvopt_3"));
        QCOMPARE(sc.popfiles.size(), std::size_t(3));
    }
};

QTEST_MAIN(AdvancedGuiTest)
#include "advanced_gui_test.moc"
