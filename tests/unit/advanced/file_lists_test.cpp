// The Geographic Allocation, Growth and Equipment Population dialogs' logic.
#include "advanced/geoalloc_dialog.h"
#include "advanced/growth_dialog.h"
#include "advanced/population_dialog.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>

namespace kv::test {
namespace {

const std::string kTitle(kAppTitle);
using Msg = ScriptedUserInterface::Message;

TEST(AllocDescriptor, TheCodeOfTheFileNameNamesTheLabel) {
    const std::string none(GeoAllocDialog::kDefaultDescriptor);
    const std::pair<const char*, std::string> table[] = {
        {"C:\\DATA\\ALLOCATE\\CA_HOUSE.ALO", "Family housing     :"},
        {"/data/ALLOCATE/TX_AIRTR.ALO", "Air trans. empl.   :"},
        {"tx_house.alo", "Family housing     :"},
        {"/data/ALLOCATE/Ca_SnowM.Alo", "Snowmobiles        :"},
        {"/data/ALLOCATE/MYFILE.ALO", none},
        // A name longer than 13 characters, with either separator.
        {"/data/ALLOCATE/statewide-2026_wob.alo", "Rec marine outboard:"},
        {"C:\\data/ALLOCATE\\statewide-2026_coal.alo", "Undergrnd coal prod:"},
        // Only the file name counts, from its first underscore on.
        {"/data/my_house.alo/plain.alo", none},
        {"/data/ALLOCATE/ca_big_house.alo", none},
        {"/data/ALLOCATE/ca_house.alo.bak", none},
        // The rail code pairs with no label.
        {"/data/ALLOCATE/tx_rail.alo", none},
        {"", none},
    };
    for (const auto& [path, descriptor] : table)
        EXPECT_EQ(alloc_descriptor(path), descriptor) << path;
    EXPECT_EQ(none.size(), 21u);
}

// Files on disk below the fixture's directory (the program's directory).
class FileListTest : public SessionTest {
protected:
    std::string file(const std::string& relative) { return writeFile(relative, "x\r\n"); }
    std::vector<std::string> paths(const AllocCollection& list) const {
        std::vector<std::string> result;
        for (const auto& entry : list)
            result.push_back(entry->allocfile);
        return result;
    }
    std::vector<std::string> descriptors(const AllocCollection& list) const {
        std::vector<std::string> result;
        for (const auto& entry : list)
            result.push_back(entry->descriptor);
        return result;
    }
    static void select(ListSelection& selection, std::initializer_list<std::size_t> lines,
                       std::optional<std::size_t> current = std::nullopt) {
        for (std::size_t line : lines)
            selection.setSelected(line, true);
        selection.setCurrent(current);
    }
};

// Add and Replace refuse a path holding a line break, even of a file that exists: the
// options file names each file on a line of its own.
TEST_F(FileListTest, AddAndReplaceRefuseAPathHoldingALineBreak) {
    const std::string listed = file("data/listed.grw");
    const std::string broken = file("data/a\nb.grw");
    sc().appendGrowthFile(listed);
    for (AllocCollection* list : {&sc().popfiles, &sc().allocfiles_saved})
        list->add(std::make_shared<AllocCls>(AllocCls{"File:", listed}), listed);
    GrowthDialog growth(*session);
    PopulationDialog population(*session);
    GeoAllocDialog alloc(*session);
    growth.load();
    population.load();
    alloc.load();
    EXPECT_FALSE(growth.addFile(broken));
    EXPECT_FALSE(population.addFile(broken, false));
    EXPECT_FALSE(alloc.addFile(broken));
    growth.setTxtgrow(broken);
    growth.replace();
    population.selection().setCurrent(0);
    population.setSelEdit(broken);
    population.replace();
    alloc.selection().setCurrent(0);
    alloc.setSelEdit(broken);
    alloc.replace();
    const std::vector<std::string> unchanged{listed};
    EXPECT_EQ(growth.lines(), unchanged);
    EXPECT_EQ(population.lines(), unchanged);
    EXPECT_EQ(alloc.lines(), unchanged);
    EXPECT_EQ(ui.messageTexts(),
              std::vector<std::string>(6, "\"" + dir.str() +
                                              "/data/a\\nb.grw\" holds a line break: an options "
                                              "file names each file on a line of its own"));
}

class GeoAllocTest : public FileListTest {
protected:
    GeoAllocTest() {
        pop = file("data/ALLOCATE/ca_pop.alo");
        house = file("data/ALLOCATE/ca_house.alo");
        xref = file("data/ALLOCATE/allocate.xrf");
        sc().runfiles[kAllocXref] = xref;
        for (const auto& path : {pop, house})
            sc().allocfiles.add(std::make_shared<AllocCls>(AllocCls{"Census population  :", path}),
                                path);
        copy_file_collection(sc().allocfiles, sc().allocfiles_saved);
        session->settings.datadir = dir.str() + "/data";
    }
    std::string pop, house, xref;
    GeoAllocDialog dialog{*session};
};

TEST_F(GeoAllocTest, AddDerivesTheDescriptorAndRefusesMissingAndListedFiles) {
    const std::string added = file("data/ALLOCATE/tx_airtr.alo");
    dialog.load();
    EXPECT_EQ(dialog.txtalloc(), xref);
    ui.answerFile(std::nullopt);
    dialog.add();
    ui.answerFile(dir.str() + "/data/ALLOCATE/gone.alo");
    dialog.add();
    EXPECT_TRUE(dialog.listchanged()); // a missing file counts as a change
    ui.answerFile(added);
    dialog.add();
    ui.answerFile(pop);
    dialog.add();

    ASSERT_EQ(ui.dialogs.size(), 4u);
    const FileDialogRequest& r = ui.dialogs[0].request;
    EXPECT_EQ(r.title, "Select Allocation file");
    EXPECT_EQ(r.filter, "ALLOC (*.alo)|*.alo|XREF (*.xrf)|*.xrf|All files (*.*)|*.*");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.initialDir, dir.str() + "/data/ALLOCATE");
    EXPECT_EQ(ui.messages, (std::vector<Msg>{
                               {dir.str() + "/data/ALLOCATE/gone.alo does not exist.", kTitle,
                                MessageIcon::None},
                               {"This key is already associated with an element of this collection",
                                kTitle, MessageIcon::None}}));
    EXPECT_EQ(dialog.lines(), (std::vector<std::string>{pop, house, added}));
    EXPECT_EQ(sc().allocfiles_saved.at(2)->descriptor, "Air trans. empl.   :");
    EXPECT_EQ(sc().allocfiles.size(), 2u); // nothing committed yet
}

TEST_F(GeoAllocTest, ReplaceKeepsPlaceAndDescriptorAndRefusesWhatItCannotTake) {
    const std::string other = file("data/ALLOCATE/tx_house.alo");
    struct Case {
        std::optional<std::size_t> current;
        std::string text;
        std::string message; // empty: none
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {std::nullopt, other, "", {pop, house}},
        {0, "data/ALLOCATE/none.alo", "data/ALLOCATE/none.alo Not Found", {pop, house}},
        {0, pop, "", {pop, house}},
        {0, house, house + " Already Selected", {pop, house}},
        {0, other, "", {other, house}},
        // A relative name is taken from the program's directory, in any case.
        {1, "DATA/allocate/TX_HOUSE.ALO", "", {pop, "DATA/allocate/TX_HOUSE.ALO"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        copy_file_collection(sc().allocfiles, sc().allocfiles_saved);
        ui.messages.clear();
        dialog.load();
        if (c.current)
            select(dialog.selection(), {}, c.current);
        dialog.setSelEdit(c.text);
        dialog.replace();
        EXPECT_EQ(ui.messageTexts(), c.message.empty() ? std::vector<std::string>{}
                                                       : std::vector<std::string>{c.message});
        EXPECT_EQ(dialog.lines(), c.lines);
        EXPECT_EQ(dialog.listchanged(), c.lines[0] != pop || c.lines[1] != house);
        EXPECT_EQ(descriptors(sc().allocfiles_saved),
                  (std::vector<std::string>{"Census population  :", "Census population  :"}));
    }
}

TEST_F(GeoAllocTest, DeleteThenOkCommitsAndShowsTheNote) {
    dialog.load();
    dialog.click(); // no current line: nothing
    EXPECT_EQ(dialog.selEdit(), "");
    select(dialog.selection(), {0, 1}, 1);
    dialog.click();
    EXPECT_EQ(dialog.selEdit(), house);
    dialog.del();
    EXPECT_TRUE(dialog.lines().empty());
    EXPECT_EQ(dialog.selEdit(), "");
    ASSERT_TRUE(dialog.ok());
    dialog.unload();
    EXPECT_TRUE(sc().allocfiles.empty());
    EXPECT_TRUE(sc().changed_alloc);
    EXPECT_EQ(ui.messages, (std::vector<Msg>{{"Note: Any new Scenario>Region selection will "
                                              "override Allocation",
                                              kTitle, MessageIcon::Exclamation}}));
}

TEST_F(GeoAllocTest, CancelRestoresTheListAndKeepsAnEarlierCommit) {
    // OK commits a list; a later Cancel must not stop the next save from writing it.
    dialog.load();
    select(dialog.selection(), {1});
    dialog.del();
    ASSERT_TRUE(dialog.ok());
    dialog.unload();
    ASSERT_TRUE(sc().changed_alloc);

    dialog.load();
    EXPECT_FALSE(dialog.listchanged());
    select(dialog.selection(), {0});
    dialog.del();
    dialog.cancel();
    dialog.unload();
    EXPECT_TRUE(sc().changed_alloc);
    EXPECT_EQ(paths(sc().allocfiles), std::vector<std::string>{pop});
    EXPECT_EQ(paths(sc().allocfiles_saved), std::vector<std::string>{pop});

    // The window's close button follows the last OK or Cancel, also in a later opening.
    dialog.load();
    select(dialog.selection(), {0});
    dialog.del();
    dialog.unload();
    EXPECT_EQ(paths(sc().allocfiles), std::vector<std::string>{pop});
    EXPECT_EQ(ui.messages.size(), 1u); // the note of the first OK only
}

TEST_F(GeoAllocTest, LookupTableIsCheckedAtOkAndStoredOnlyByOk) {
    const std::string newXref = file("data/ALLOCATE/new.xrf");
    dialog.load();
    // The 8.3 check sends the Open dialog back.
    ui.answerFile(dir.str() + "/data/ALLOCATE/longername.xrf");
    ui.answerFile(newXref);
    dialog.changeLookup();
    ASSERT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(ui.dialogs[0].request.filterIndex, 2);
    EXPECT_EQ(ui.dialogs[0].request.initialDir, dir.str() + "/data/ALLOCATE");
    EXPECT_EQ(ui.dialogs[1].request.initialFile, dir.str() + "/data/ALLOCATE/longername.xrf");
    EXPECT_EQ(dialog.txtalloc(), newXref);
    dialog.cancel();
    dialog.unload();
    EXPECT_EQ(sc().runfiles[kAllocXref], xref);

    dialog.load();
    dialog.setTxtalloc("data/ALLOCATE/missing.xrf\r\n"); // a line break is dropped
    EXPECT_FALSE(dialog.ok());
    EXPECT_EQ(ui.messageTexts().back(), "data/ALLOCATE/missing.xrf does not exist");
    dialog.setTxtalloc(newXref);
    ASSERT_TRUE(dialog.ok());
    dialog.unload();
    EXPECT_EQ(sc().runfiles[kAllocXref], newXref);
    EXPECT_FALSE(dialog.cancelled());
}

TEST_F(GeoAllocTest, ReadingAnotherFileDropsTheEditsOfTheOpenDialog) {
    dialog.load();
    select(dialog.selection(), {0});
    dialog.del();
    session->scenarioReplacing();
    EXPECT_EQ(paths(sc().allocfiles_saved), (std::vector<std::string>{pop, house}));
    EXPECT_FALSE(sc().changed_alloc);
}

class GrowthTest : public FileListTest {
protected:
    GrowthTest() {
        for (const char* name : {"a.grw", "b.grw", "c.grw"})
            sc().appendGrowthFile(file(std::string("data/growth/") + name));
        session->settings.datadir = dir.str() + "/data";
    }
    std::string path(const char* name) { return dir.str() + "/data/growth/" + name; }
    GrowthDialog dialog{*session};
};

TEST_F(GrowthTest, ReplaceChangesTheLineLastClickedInAnyOpening) {
    dialog.load();
    EXPECT_EQ(dialog.growthindex(), 0);
    // The last selected line wins.
    select(dialog.selection(), {0, 2});
    EXPECT_TRUE(dialog.click());
    EXPECT_EQ(dialog.txtgrow(), path("c.grw"));
    EXPECT_EQ(dialog.growthindex(), 2);
    dialog.cancel();
    dialog.unload();

    // Reopened: nothing clicked, nothing selected, yet line 3 is replaced.
    const std::string d = file("data/growth/d.grw");
    dialog.load();
    EXPECT_EQ(dialog.txtgrow(), "");
    dialog.replace(); // empty text: nothing
    dialog.setTxtgrow("data/growth/none.grw");
    dialog.replace();
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{"data/growth/none.grw does not exist."});
    EXPECT_TRUE(dialog.txtgrowVisible());
    dialog.setTxtgrow(d);
    dialog.replace();
    EXPECT_FALSE(dialog.txtgrowVisible());
    EXPECT_EQ(dialog.lines(), (std::vector<std::string>{path("a.grw"), path("b.grw"), d}));
    // A click shows the text box again.
    select(dialog.selection(), {1});
    EXPECT_TRUE(dialog.click());
    EXPECT_TRUE(dialog.txtgrowVisible());
    EXPECT_EQ(dialog.txtgrow(), path("b.grw"));
    EXPECT_TRUE(sc().growthfiles[2] == path("c.grw")); // the list box only
}

TEST_F(GrowthTest, AddDeleteAndTheCommitOfTheList) {
    dialog.load();
    // A long name sends the Open dialog back; the same file may be listed twice.
    ui.answerFile(dir.str() + "/data/growth/ninechars.grw");
    ui.answerFile(path("a.grw"));
    dialog.add();
    ui.answerFile(path("missing.grw"));
    dialog.add();
    EXPECT_EQ(ui.messageTexts(),
              (std::vector<std::string>{"ninechars\nFilename too long: Must be 8 characters max "
                                        "before period",
                                        path("missing.grw") + " does not exist."}));
    const FileDialogRequest& r = ui.dialogs[0].request;
    EXPECT_EQ(r.title, "Select Growth file");
    EXPECT_EQ(r.filter, "Growth Files (*.grw)|*.grw|All files (*.*)|*.*");
    EXPECT_EQ(r.initialDir, dir.str() + "/data/growth");
    ASSERT_EQ(dialog.lines().size(), 4u);
    EXPECT_EQ(dialog.lines()[3], path("a.grw"));

    // Cancel leaves the scenario as it was.
    dialog.cancel();
    dialog.unload();
    EXPECT_EQ(sc().growthCount(), 3u);
    EXPECT_FALSE(sc().changed_growth);

    dialog.load();
    select(dialog.selection(), {0, 1, 2});
    ASSERT_TRUE(dialog.click());
    dialog.del();
    EXPECT_EQ(dialog.txtgrow(), ""); // the text box no longer shows a deleted path
    dialog.ok();
    dialog.unload();
    EXPECT_EQ(sc().growthfiles, (std::vector<std::string>{""}));
    EXPECT_TRUE(sc().changed_growth);
}

class PopulationTest : public FileListTest {
protected:
    PopulationTest() {
        ca = file("data/pop/ca.pop");
        tx = file("data/pop/tx.pop");
        for (const auto& path : {ca, tx})
            sc().popfiles.add(std::make_shared<AllocCls>(AllocCls{"Population File    :", path}),
                              path);
        copy_file_collection(sc().popfiles, sc().popfiles_saved);
        session->settings.datadir = dir.str() + "/data";
    }
    std::string ca, tx;
    PopulationDialog dialog{*session};
};

TEST_F(PopulationTest, CommitGivesEveryEntryThePopulationDescriptor) {
    const std::string nv = file("data/pop/nv.pop");
    const std::string nameLonger = file("data/pop/nevada-2026.pop");
    dialog.load();
    ui.answerFile(nameLonger); // no 8.3 check here
    dialog.add();
    ui.answerFile(ca);
    dialog.add();
    const FileDialogRequest& r = ui.dialogs[0].request;
    EXPECT_EQ(r.title, "Select Allocation file");
    EXPECT_EQ(r.filter, "Equip Files (*.pop)|*.pop|All files (*.*)|*.*");
    EXPECT_EQ(r.initialDir, dir.str() + "/data/pop");
    EXPECT_EQ(ui.messageTexts(), std::vector<std::string>{ca + " Already Selected"});
    // Replace after an Add keeps the added line.
    select(dialog.selection(), {}, 1);
    dialog.click();
    EXPECT_EQ(dialog.selEdit(), tx);
    dialog.setSelEdit(nv);
    dialog.replace();
    dialog.ok();
    dialog.unload();
    EXPECT_EQ(paths(sc().popfiles), (std::vector<std::string>{ca, nv, nameLonger}));
    EXPECT_EQ(descriptors(sc().popfiles), std::vector<std::string>(3, "Population file    :"));
    EXPECT_EQ(paths(sc().popfiles_saved), paths(sc().popfiles));
    EXPECT_TRUE(sc().changed_pop);
}

TEST_F(PopulationTest, ReplaceRefusesWhatTheListCannotHold) {
    struct Case {
        std::optional<std::size_t> current;
        std::string text;
        std::string message;
        std::string line0;
    };
    const Case cases[] = {
        {std::nullopt, tx, "", ca},
        {0, "data/pop/none.pop", "data/pop/none.pop does not exist", ca},
        {0, ca, "", ca},
        {0, tx, tx + " Already Selected", ca},
        {0, dir.str() + "/data/pop/TX.POP", dir.str() + "/data/pop/TX.POP Already Selected", ca},
        {0, "", "", ""}, // an empty text counts as existing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ui.messages.clear();
        dialog.load();
        select(dialog.selection(), {}, c.current);
        dialog.setSelEdit(c.text);
        dialog.replace();
        EXPECT_EQ(ui.messageTexts(), c.message.empty() ? std::vector<std::string>{}
                                                       : std::vector<std::string>{c.message});
        EXPECT_EQ(dialog.lines()[0], c.line0);
    }
    // Cancel puts the committed list into the working copy and leaves the flag alone.
    sc().popfiles_saved.clear();
    dialog.cancel();
    dialog.unload();
    EXPECT_EQ(paths(sc().popfiles_saved), (std::vector<std::string>{ca, tx}));
    EXPECT_FALSE(sc().changed_pop);
}

} // namespace
} // namespace kv::test
