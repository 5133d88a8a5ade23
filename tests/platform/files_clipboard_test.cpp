// The shared headless clipboard: the folder other runs find, its formats,
// its lock, its atomic replacement and its refusal of folders that are not
// safely ours.
#include "platform/files/files_clipboard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "platform/desktop_platform.h"
#include "platform/dib.h"
#include "tests/support/env_override.h"
#include "tests/support/test_files.h"

extern char** environ;

namespace varkit::testing {
namespace {

// A short lock wait keeps the test of a taken lock quick.
std::unique_ptr<Platform> files_platform(const std::string& folder) {
    return std::make_unique<DesktopPlatform>([folder] {
        return std::make_unique<FilesClipboard>(folder, std::chrono::milliseconds(200));
    });
}

DeviceBitmap checker_bitmap() {
    DeviceBitmap bitmap;
    bitmap.width = 10;
    bitmap.height = 3;
    bitmap.row_length = 2;
    bitmap.bits = {0x55, 0x40, 0xAA, 0x80, 0x00, 0x3F};
    return bitmap;
}

std::string file_text(const std::string& path) {
    Bytes bytes = read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

mode_t mode_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

TEST(FilesClipboard, EveryFormatRoundTripsThroughItsFileAndEmptyRemovesThemAll) {
    TempDir dir;
    const std::string folder = dir.file("clip");
    auto platform = files_platform(folder);
    ASSERT_TRUE(platform->clipboard_open());
    EXPECT_EQ(mode_of(folder), 0700u);
    ASSERT_TRUE(platform->clipboard_empty());
    const std::string text("line1\r\n\x80\xff end");
    ASSERT_TRUE(platform->clipboard_set_text(text));
    ASSERT_TRUE(platform->clipboard_set_bitmap(checker_bitmap()));
    ASSERT_TRUE(platform->clipboard_set_rich_text("{\\rtf1 x}"));

    EXPECT_EQ(platform->clipboard_get_text().text, text);
    const std::vector<std::uint8_t> dib = synthesize_dib(checker_bitmap());
    EXPECT_EQ(platform->clipboard_get_dib(), dib);
    EXPECT_EQ(file_text(folder + "/text.txt"), text);
    EXPECT_EQ(file_text(folder + "/rich.rtf"), "{\\rtf1 x}");
    Bytes bmp = read_file(folder + "/bitmap.bmp");
    auto header = bmp_file_header(dib);
    Bytes expected(header.begin(), header.end());
    expected.insert(expected.end(), dib.begin(), dib.end());
    EXPECT_EQ(bmp, expected);
    EXPECT_EQ(mode_of(folder + "/text.txt") & 077, 0u);

    ASSERT_TRUE(platform->clipboard_empty());
    EXPECT_EQ(platform->clipboard_get_text().text, std::nullopt);
    EXPECT_EQ(platform->clipboard_get_dib(), std::nullopt);
    EXPECT_EQ(list_dir(folder), std::vector<std::string>{"lock"});
    platform->clipboard_close();
}

TEST(FilesClipboard, SettingWithoutEmptyingKeepsWhatAnEarlierRunPlaced) {
    TempDir dir;
    const std::string folder = dir.file("clip");
    {
        auto first_run = files_platform(folder);
        ASSERT_TRUE(first_run->clipboard_open());
        ASSERT_TRUE(first_run->clipboard_empty());
        ASSERT_TRUE(first_run->clipboard_set_bitmap(checker_bitmap()));
        first_run->clipboard_close();
    }
    auto second_run = files_platform(folder);
    ASSERT_TRUE(second_run->clipboard_open());
    ASSERT_TRUE(second_run->clipboard_set_rich_text("{\\rtf1 added}"));
    EXPECT_EQ(second_run->clipboard_get_dib(), synthesize_dib(checker_bitmap()));
    EXPECT_EQ(second_run->clipboard_get_text().text, std::nullopt);
    second_run->clipboard_close();
    EXPECT_EQ(list_dir(folder), (std::vector<std::string>{"bitmap.bmp", "lock", "rich.rtf"}));
}

TEST(FilesClipboard, TextEndsAtItsFirstZeroAndAForeignFileIsNoBitmap) {
    TempDir dir;
    const std::string folder = dir.file("clip");
    auto platform = files_platform(folder);
    ASSERT_TRUE(platform->clipboard_open());
    write_file(folder + "/text.txt", std::string("before\0after", 12));
    write_file(folder + "/bitmap.bmp", std::string("GIF89a not a bitmap"));
    EXPECT_EQ(platform->clipboard_get_text().text, "before");
    EXPECT_EQ(platform->clipboard_get_dib(), std::nullopt);
    platform->clipboard_close();
}

TEST(FilesClipboard, TheLockIsHeldFromOpenToCloseAndNothingWorksOutsideIt) {
    TempDir dir;
    const std::string folder = dir.file("clip");
    auto first = files_platform(folder);
    auto second = files_platform(folder);
    EXPECT_FALSE(first->clipboard_set_text("closed"));
    EXPECT_FALSE(first->clipboard_empty());
    ASSERT_TRUE(first->clipboard_open());
    EXPECT_FALSE(first->clipboard_open());
    EXPECT_FALSE(second->clipboard_open());  // waits a moment, then gives up
    first->clipboard_close();
    EXPECT_TRUE(second->clipboard_open());
    second->clipboard_close();
    EXPECT_FALSE(first->clipboard_get_text().text.has_value());
}

TEST(FilesClipboard, AWriterThatDiedLeavesNothingBehindForTheNextOpen) {
    TempDir dir;
    const std::string folder = dir.file("clip");
    auto platform = files_platform(folder);
    ASSERT_TRUE(platform->clipboard_open());
    ASSERT_TRUE(platform->clipboard_set_text("kept"));
    platform->clipboard_close();
    write_file(folder + "/.incoming-text.txt-0123456789abcdef", std::string("half"));
    ASSERT_TRUE(platform->clipboard_open());
    EXPECT_EQ(platform->clipboard_get_text().text, "kept");
    platform->clipboard_close();
    EXPECT_EQ(list_dir(folder), (std::vector<std::string>{"lock", "text.txt"}));
}

TEST(FilesClipboard, AFolderThatIsALinkOrOpenToOthersOrNotOursIsRefused) {
    TempDir dir;
    const std::string target = dir.file("target");
    ASSERT_EQ(mkdir(target.c_str(), 0700), 0);
    const std::string link = dir.file("link");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_FALSE(files_platform(link)->clipboard_open());
    EXPECT_FALSE(files_platform(link + "/")->clipboard_open());
    EXPECT_TRUE(list_dir(target).empty());

    const std::string open_to_group = dir.file("shared");
    ASSERT_EQ(mkdir(open_to_group.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open_to_group.c_str(), 0750), 0);
    EXPECT_FALSE(files_platform(open_to_group)->clipboard_open());

    const std::string plain_file = dir.file("file");
    write_file(plain_file, std::string("x"));
    EXPECT_FALSE(files_platform(plain_file)->clipboard_open());

    if (geteuid() == 0) {  // only root can hand a folder to another user
        const std::string foreign = dir.file("foreign");
        ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
        ASSERT_EQ(chown(foreign.c_str(), 12345, 12345), 0);
        EXPECT_FALSE(files_platform(foreign)->clipboard_open());
        EXPECT_TRUE(list_dir(foreign).empty());
    }
}

TEST(FilesClipboard, MakingThePlatformTouchesNothingUntilTheClipboardIsUsed) {
    TempDir dir;
    EnvOverride env;
    const std::string folder = dir.file("clip");
    env.set("VARKIT_CLIPBOARD", "files");
    env.set("VARKIT_CLIPBOARD_DIR", folder);
    auto platform = make_platform();
    EXPECT_FALSE(std::filesystem::exists(folder));
    ASSERT_TRUE(platform->clipboard_open());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    platform->clipboard_close();

    env.set("VARKIT_CLIPBOARD", "none");
    auto none = make_platform();
    EXPECT_FALSE(none->clipboard_open());
    EXPECT_TRUE(none->create_bitmap(checker_bitmap()).has_value());
}

TEST(FilesClipboard, DefaultFolderFollowsTheEnvironment) {
    EnvOverride env;
    env.set("VARKIT_CLIPBOARD_DIR", "/somewhere/clip");
    EXPECT_EQ(default_clipboard_folder(), "/somewhere/clip");
    env.remove("VARKIT_CLIPBOARD_DIR");
    env.set("XDG_RUNTIME_DIR", "/run/user/7");
    EXPECT_EQ(default_clipboard_folder(), "/run/user/7/varkit-clipboard");
    env.remove("XDG_RUNTIME_DIR");
    EXPECT_EQ(default_clipboard_folder(), "/tmp/varkit-clipboard-" + std::to_string(geteuid()));
}

pid_t start_probe(const std::vector<std::string>& args) {
    std::vector<std::string> argv{std::string(VARKIT_BIN_DIR) + "/clipboard_probe"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ), 0);
    return pid;
}

// Several programs replace the text at once while a reader that takes no
// lock keeps looking: every look finds one writer's whole text.
TEST(FilesClipboard, ConcurrentWritersNeverLeaveATornFile) {
    TempDir dir;
    EnvOverride env;
    const std::string folder = dir.file("clip");
    env.set("VARKIT_CLIPBOARD", "files");
    env.set("VARKIT_CLIPBOARD_DIR", folder);
    std::set<std::string> texts;
    std::vector<std::string> inputs;
    for (char letter : std::string("ABCD")) {
        std::string text(300'000 + (letter - 'A') * 1000, letter);
        inputs.push_back(dir.file(std::string(1, letter)));
        write_file(inputs.back(), text);
        texts.insert(text);
    }
    std::vector<pid_t> writers;
    for (int round = 0; round < 3; ++round) {
        for (const std::string& input : inputs) {
            writers.push_back(start_probe({"put-text", input}));
        }
    }
    int looks = 0;
    int exited_well = 0;
    for (std::size_t done = 0; done < writers.size();) {
        // A writer's empty removes the file at any moment: only a file that
        // could be opened is looked at, and then it must be whole.
        std::ifstream seen_file(folder + "/text.txt", std::ios::binary);
        if (seen_file) {
            std::string seen((std::istreambuf_iterator<char>(seen_file)),
                             std::istreambuf_iterator<char>());
            EXPECT_TRUE(texts.count(seen)) << "a reader saw " << seen.size() << " bytes";
            ++looks;
        }
        usleep(1000);
        int status = 0;
        pid_t ended = waitpid(-1, &status, WNOHANG);
        if (ended > 0) {
            ++done;
            exited_well += WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    EXPECT_EQ(exited_well, static_cast<int>(writers.size()));
    EXPECT_GT(looks, 0);
    EXPECT_TRUE(texts.count(file_text(folder + "/text.txt")));
    EXPECT_EQ(list_dir(folder), (std::vector<std::string>{"lock", "text.txt"}));
}

}  // namespace
}  // namespace varkit::testing
