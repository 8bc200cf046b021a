// What a save does to the file on disk it replaces.
#include "optionsfile/writer.h"
#include "support/options_text.h"
#include "support/ordinary_user.h"
#include "support/session_fixture.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kv::test {
namespace {

namespace fs = std::filesystem;

// Temporary files left behind (their names begin with a dot).
long leftovers(const fs::path& dir) {
    return std::count_if(fs::directory_iterator(dir), {}, [](const fs::directory_entry& e) {
        return e.path().filename().string().starts_with(".");
    });
}

class SaveFileTest : public SessionTest {
protected:
    void SetUp() override {
        current = writeFile("test1.opt", complete_options_file());
        sc().optdir = dir.str();
        sc().optfile = "test1.opt";
        ASSERT_EQ(read_options(*session), ReadOutcome::Loaded);
        sc().title1str = "Changed";
        sc().changed_options = true;
    }
    // In place when `target` is empty.
    bool save(const fs::path& target) {
        if (target.empty())
            return write_options_file(*session, current, current);
        sc().newoptdir = target.parent_path().string();
        sc().newoptfile = target.filename().string();
        return newoptions(*session);
    }
    static bool changed(const fs::path& file) {
        return read_file(file).find("Title 1            : Changed\r\n") != std::string::npos;
    }
    std::string current;
};

// A link is followed: the file it names is replaced in its own directory and keeps its
// permission bits, and the link stays.
TEST_F(SaveFileTest, ASymbolicLinkIsFollowedAndKept) {
    TempDir other;
    const fs::path real = other.path() / "real files" / "Größe 1.opt";
    fs::create_directories(real.parent_path());
    const fs::path link = dir.path() / "link.opt";
    const struct {
        const char* what;
        fs::path linkTo;
        bool exists;
    } cases[] = {
        {"in place through a link", current, true},
        {"onto a link to another file", real, true},
        {"onto a link to a file not there yet", real, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(link);
        fs::remove(real);
        fs::create_symlink(c.linkTo, link);
        if (c.exists && c.linkTo == real) {
            other.write("real files/Größe 1.opt", "old\r\n");
            fs::permissions(real, fs::perms(0640));
        }
        const bool inPlace = c.linkTo == current;
        ASSERT_TRUE(inPlace ? write_options_file(*session, link.string(), link.string())
                            : save(link));
        EXPECT_EQ(fs::read_symlink(link), c.linkTo);
        EXPECT_TRUE(changed(c.linkTo));
        if (c.exists && !inPlace) {
            EXPECT_EQ(fs::status(real).permissions(), fs::perms(0640));
        }
        EXPECT_EQ(leftovers(dir.path()) + leftovers(real.parent_path()), 0);
    }
}

// A replaced file keeps its permission bits; a new one gets what the umask leaves of 0666.
TEST_F(SaveFileTest, PermissionsOfReplacedAndNewFiles) {
    const struct {
        mode_t mask;
        int before; // 0: a new file
        int after;
    } cases[] = {{022, 0, 0644}, {077, 0, 0600}, {002, 0, 0664}, {077, 0664, 0664}};
    const fs::path target = dir.path() / "copy.opt";
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mask << " " << c.before);
        fs::remove(target);
        if (c.before != 0) {
            writeFile("copy.opt", "old\r\n");
            fs::permissions(target, fs::perms(c.before));
        }
        const mode_t saved = ::umask(c.mask);
        const bool ok = save(target);
        ::umask(saved);
        ASSERT_TRUE(ok);
        EXPECT_EQ(fs::status(target).permissions(), fs::perms(c.after));
    }
}

// A file the user may not write is not replaced, though its directory would allow the
// rename; a directory the user may not write gets no file. The message gives the reason.
TEST_F(SaveFileTest, WhatTheUserMayNotWriteIsLeftAlone) {
    const struct {
        const char* what;
        const char* target; // empty: the current file, in place
        bool dirReadOnly;
    } cases[] = {
        {"read-only current file", "", false},
        {"save as onto a read-only file", "old.opt", false},
        {"save as into a directory that is not writable", "closed/new.opt", true},
    };
    fs::permissions(dir.path(), fs::perms::all); // open to "nobody"
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path target = *c.target ? dir.path() / c.target : fs::path(current);
        fs::create_directories(target.parent_path());
        if (c.dirReadOnly) {
            fs::permissions(target.parent_path(), fs::perms(0555));
        } else {
            if (*c.target)
                writeFile(c.target, "old\r\n");
            fs::permissions(target, fs::perms(0444));
        }
        const std::string before = c.dirReadOnly ? "" : read_file(target);
        const auto answer = as_ordinary_user([&] {
            ui.messages.clear();
            const bool ok = save(*c.target ? target : fs::path());
            return std::string(ok ? "saved" : "refused") + " | " +
                   (ui.messages.empty() ? "" : ui.messages[0].text) + " | " + logLines().back();
        });
        if (!answer)
            GTEST_SKIP() << "cannot run as an ordinary user";
        EXPECT_EQ(*answer,
                  "refused | file error 70\nPermission denied | Newoptions code 2.3 test1.opt");
        EXPECT_EQ(c.dirReadOnly ? "" : read_file(target), before);
        EXPECT_EQ(leftovers(target.parent_path()), 0);
        fs::permissions(current, fs::perms(0644));
    }
}

} // namespace
} // namespace kv::test
