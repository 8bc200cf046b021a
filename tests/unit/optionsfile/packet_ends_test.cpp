// Where packets end, as the reader and the writer both see it, and what a save keeps of a
// template whose packets end unusually.
#include "optionsfile/packet_bounds.h"
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/session_fixture.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kv::test {
namespace {

using format::Packet;

const std::string kHeader = "Written by Kelvaro interface at 1/2/2026 3:04:05 AM\r\n";
const std::string kUserPacket = "/USER NOTES/\r\nkept line\r\n/END/\r\n";
const std::string kStageII = "/STAGE II/\r\nControl Factor     : 0.5\r\n/END/\r\n";

std::string note(const std::string& packet, const std::string& what) {
    return "The " + packet + " packet of the file being saved has no /END/ line. " + what;
}
const std::string kRegenerated =
    "It was taken to end before the next packet and written again from the scenario.";
const std::string kAddedBeforeNext = "An /END/ line was added before the next packet.";
const std::string kAddedAtEnd =
    "An /END/ line was added at the end of the file, before the packets added after it.";

// The lines of packet `name` in `text` between its name line and its "/END/" line.
std::string body_of(const std::string& text, const std::string& name) {
    const auto begin = text.find(name + "\r\n") + name.size() + 2;
    return text.substr(begin, text.find("/END/\r\n", begin) - begin);
}
// The packet `name` of `text` through its "/END/" line.
std::string packet_of(const std::string& text, const std::string& name) {
    return name + "\r\n" + body_of(text, name) + "/END/\r\n";
}

class PacketEndTest : public SessionTest {
protected:
    std::string save(const std::string& templ) {
        std::istringstream in(templ);
        std::ostringstream out;
        result = write_options_stream(sc(), in, out, PathRules::posix(), "1/2/2026 3:04:05 AM");
        EXPECT_TRUE(result.ok);
        return out.str();
    }
    // The saved file opens again without a message, and saving it again gives it back with
    // nothing to say about it.
    void expectStable(const std::string& saved, const std::string& label) {
        ui.messages.clear();
        ASSERT_EQ(readText(saved), ReadOutcome::Loaded) << label;
        EXPECT_TRUE(ui.messages.empty()) << label << ": " << ui.messages.front().text;
        EXPECT_EQ(save(saved), saved) << label;
        EXPECT_TRUE(result.notes.empty()) << label;
    }
    void editEverything() {
        sc().changed_options = sc().changed_period = sc().changed_region = true;
        sc().changed_pop = sc().changed_alloc = sc().changed_growth = sc().changed_emfac = true;
    }
    WriteResult result;
};

TEST(NamesPacket, OnlyASlashNameSlashLineNamesAPacket) {
    for (const char* line : {"/USER NOTES/", "  /STAGE II/  ", "/stage ii/", "/Region/", "/X-2_B/"})
        EXPECT_TRUE(names_packet(line)) << line;
    for (const char* line :
         {"/END/", " /end/ ", "/data/", "/Data/", "/DATA/x.dat/", "/home/j.smith/", "//", "/ /",
          "/2NDRUN/", "Title 1            : /OPTIONS/", "/REGION/ with a note", "x/OPTIONS/",
          "C:\\RUNS\\", ""})
        EXPECT_FALSE(names_packet(line)) << line;
}

// Every regenerated packet whose "/END/" is indented, labelled or missing ends where the
// reader ends it: the packet that follows, managed or not, reaches the saved file whole.
TEST_F(PacketEndTest, RegeneratedPacketsEndWhereTheReaderEndsThem) {
    const std::string base = complete_options_file();
    for (const Packet packet : format::kReaderOrder) {
        const std::string name(format::packet_name(packet));
        // Missing, or indented (which every packet accepts).
        std::vector<std::string> endings = {"", "   /END/\r\n"};
        if (packet == Packet::Region) {
            endings.push_back("  /END/  \r\n");
            endings.push_back("End of regions : /END/\r\n");
        }
        const std::string managedName = packet == Packet::StageII ? "/DAILY FILES/" : "/STAGE II/";
        const std::string managed =
            packet == Packet::StageII ? packet_of(base, "/DAILY FILES/") : kStageII;
        for (const std::string& ending : endings) {
            for (const std::string& follower : {managed, kUserPacket}) {
                const std::string label = name + " ending [" + ending + "] before " + follower;
                std::string templ = without_packet(base, name);
                if (follower == managed)
                    templ = without_packet(templ, managedName);
                templ += name + "\r\n" + body_of(base, name) + ending + follower;
                ui.messages.clear();
                ASSERT_EQ(readText(templ), ReadOutcome::Loaded) << label;
                EXPECT_TRUE(ui.messages.empty()) << label << ": " << ui.messages.front().text;
                editEverything();
                const std::string saved = save(templ);

                EXPECT_TRUE(saved.ends_with(follower)) << label << "\n" << saved;
                EXPECT_EQ(saved.find(name), saved.rfind(name)) << label;
                EXPECT_EQ(saved.find(" /END/"), std::string::npos) << label;
                EXPECT_EQ(saved.find("End of regions"), std::string::npos) << label;
                const auto expectedNotes = ending.empty()
                                               ? std::vector<std::string>{note(name, kRegenerated)}
                                               : std::vector<std::string>{};
                EXPECT_EQ(result.notes, expectedNotes) << label;
                expectStable(saved, label);
            }
        }
    }
}

// A copied packet without "/END/" is read only up to the next packet, and the saved file
// says so with an "/END/" line of its own.
TEST_F(PacketEndTest, CopiedPacketWithoutEndGetsOneBeforeTheNextPacket) {
    const std::string base = without_packet(complete_options_file(), "/STAGE II/");
    struct Case {
        std::string packet; // name line and body, no "/END/"
        std::string follower;
    };
    const Case cases[] = {
        {"/ALLOC FILES/\r\n" + body_of(base, "/ALLOC FILES/"), kStageII},
        {"/PERIOD/\r\n" + body_of(base, "/PERIOD/"), kUserPacket},
        {"/USER NOTES/\r\nno end here\r\n", kStageII},
    };
    for (const auto& c : cases) {
        const std::string name = c.packet.substr(0, c.packet.find('\r'));
        const std::string templ = without_packet(base, name) + c.packet + c.follower;
        ui.messages.clear();
        ASSERT_EQ(readText(templ), ReadOutcome::Loaded) << name;
        EXPECT_TRUE(ui.messages.empty()) << name << ": " << ui.messages.front().text;
        EXPECT_EQ(sc().allocfiles.size(), 2u) << name;
        if (c.follower == kStageII) {
            EXPECT_EQ(sc().stage2str, "0.5") << name;
        }

        const std::string saved = save(templ);
        EXPECT_NE(saved.find(c.packet + "/END/\r\n" + c.follower), std::string::npos)
            << name << "\n"
            << saved;
        EXPECT_EQ(result.notes, std::vector<std::string>{note(name, kAddedBeforeNext)}) << name;
        expectStable(saved, name);
    }
}

// Only a line outside every packet is an old header line.
TEST_F(PacketEndTest, HeaderTextInsideAPacketIsData) {
    std::string body = complete_options_file();
    body.replace(body.find("Test run"), 8, "Written by Kelvaro interface at 5pm");
    body += "/USER NOTES/\r\nWritten by Kelvaro interface at noon\r\n/END/\r\n";
    const std::string templ = "Written by Kelvaro interface at 1/1/2000 1:00:00 AM\r\n" + body +
                              "  Written by Kelvaro interface at 2pm\r\n";
    ASSERT_EQ(readText(templ), ReadOutcome::Loaded);
    const std::string saved = save(templ);
    EXPECT_EQ(saved, kHeader + body);
    ASSERT_EQ(readText(saved), ReadOutcome::Loaded);
    EXPECT_EQ(sc().title1str, "WRITTEN BY KELVARO INTERFACE AT 5PM");
    EXPECT_EQ(sc().title2str, "SECOND TITLE");
    EXPECT_EQ(sc().fulrvpstr, "9.0");
}

// Packets appended after a template whose last packet has no "/END/" stay outside it.
TEST_F(PacketEndTest, LastPacketWithoutEndIsClosedBeforeAppending) {
    const std::string base = complete_options_file();
    const std::string growth = "/GROWTH FILES/\r\n" + body_of(base, "/GROWTH FILES/");
    const std::string notes = "/USER NOTES/\r\nlast line\r\n";
    const std::string period = "/PERIOD/\r\n" + body_of(base, "/PERIOD/");
    const std::string appended = "/STAGE II/\r\nControl Factor     : 0.0\r\n/END/\r\n";
    struct Case {
        std::string templ;
        std::string expectedEnd;
        std::vector<std::string> notes;
    };
    const std::string noStage =
        without_packet(without_packet(base, "/STAGE II/"), "/GROWTH FILES/");
    const Case cases[] = {
        {noStage + growth, growth + "/END/\r\n" + appended, {note("/GROWTH FILES/", kAddedAtEnd)}},
        {noStage + packet_of(base, "/GROWTH FILES/") + notes,
         notes + "/END/\r\n" + appended,
         {note("/USER NOTES/", kAddedAtEnd)}},
        // Nothing to append: the template's end is copied as it is.
        {base + notes, notes, {}},
        // The eight lines of /PERIOD/ are all there; only its terminator is missing.
        {without_packet(noStage, "/PERIOD/") + packet_of(base, "/GROWTH FILES/") + period,
         period + "/END/\r\n" + appended,
         {note("/PERIOD/", kAddedAtEnd)}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(readText(c.templ), ReadOutcome::Loaded);
        const std::string saved = save(c.templ);
        EXPECT_TRUE(saved.ends_with(c.expectedEnd)) << saved;
        EXPECT_EQ(result.notes, c.notes);
        ASSERT_EQ(readText(saved), ReadOutcome::Loaded);
        EXPECT_TRUE(sc().found_stage2);
        EXPECT_EQ(sc().growthCount(), 1u);
    }
}

// A message or output data file of a Windows installation keeps its value through a save.
TEST_F(PacketEndTest, DriveLetterRunFilesSurviveASave) {
    const std::string msg = "C:\\KELVARO\\OUTPUTS\\TEST1.MSG";
    const std::string out = "C:\\KELVARO\\OUTPUTS\\TEST1.OUT";
    std::string templ = with_packet_body(complete_options_file(), "/RUNFILES/",
                                         "MESSAGE            : " + msg +
                                             "\r\nOUTPUT DATA        : " + out + "\r\n");
    templ = with_packet_body(templ, "/MODELYEAR OUT/",
                             "EXHAUST BMY OUT    : C:\\KELVARO\\OUTPUTS\\TEST1.BMX\r\n");
    ASSERT_EQ(readText(templ), ReadOutcome::Loaded);
    EXPECT_EQ(sc().runfiles[kMessage], msg);
    EXPECT_EQ(sc().msgdir, "C:\\KELVARO\\OUTPUTS");
    EXPECT_EQ(sc().msgfile, "TEST1.MSG");
    EXPECT_EQ(sc().runfiles[kOutputData], out);
    EXPECT_EQ(sc().runfiles[kExhaustBmyOut], "C:\\KELVARO\\OUTPUTS\\TEST1.BMX");

    const std::string saved = save(templ);
    EXPECT_NE(saved.find("MESSAGE            : " + msg + "\r\nOUTPUT DATA        : " + out),
              std::string::npos)
        << saved;
    EXPECT_NE(saved.find("EXHAUST BMY OUT    : C:\\KELVARO\\OUTPUTS\\TEST1.BMX\r\n"
                         "EVAP BMY OUT       : C:\\KELVARO\\OUTPUTS\\TEST1.BMV\r\n"),
              std::string::npos);
    expectStable(saved, "drive letters");
}

} // namespace
} // namespace kv::test
