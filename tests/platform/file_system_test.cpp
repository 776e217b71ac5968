// Files and directories with exact modes, replaced atomically.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/posix/posix_file_system.h"
#include "platform_test_support.h"

namespace tallyvane {
namespace {

using namespace test;

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }

private:
    mode_t previous_;
};

mode_t modeOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return static_cast<mode_t>(-1);
    return info.st_mode & 07777;
}

// Every case runs under a umask that would weaken, strengthen or leave alone the requested modes.
class FileSystemModeTest : public ::testing::TestWithParam<mode_t> {
protected:
    ScopedUmask umask{GetParam()};
    TemporaryDirectory root;
    PosixFileSystem files;
};

TEST_P(FileSystemModeTest, EveryNewDirectoryGetsExactlyTheModeAndExistingOnesKeepTheirs) {
    ASSERT_EQ(::chmod(root.path().c_str(), 0751), 0);
    const std::string library = root.file("Library");
    const std::string support = library + "/Application Support";
    const std::string tallyvane = support + "/Tallyvane";

    ASSERT_TRUE(files.createDirectories(tallyvane, 0700));
    EXPECT_EQ(modeOf(library), 0700U);
    EXPECT_EQ(modeOf(support), 0700U);
    EXPECT_EQ(modeOf(tallyvane), 0700U);
    EXPECT_EQ(modeOf(root.path()), 0751U);

    ASSERT_EQ(::chmod(tallyvane.c_str(), 0750), 0);
    EXPECT_TRUE(files.createDirectories(tallyvane + "/", 0700));
    EXPECT_EQ(modeOf(tallyvane), 0750U);

    ASSERT_TRUE(files.createDirectories(tallyvane + "/shared//open", 0755));
    EXPECT_EQ(modeOf(tallyvane + "/shared"), 0755U);
    EXPECT_EQ(modeOf(tallyvane + "/shared/open"), 0755U);
    EXPECT_EQ(modeOf(tallyvane), 0750U);
}

TEST_P(FileSystemModeTest, ReplacedFilesGetExactlyTheModeAndNoTemporaryRemains) {
    const std::string status = root.file("status.json");
    ASSERT_TRUE(files.replaceAtomically(status, "{\n  \"running\" : true\n}", 0600));
    EXPECT_EQ(readFile(status), "{\n  \"running\" : true\n}");
    EXPECT_EQ(modeOf(status), 0600U);

    ASSERT_EQ(::chmod(status.c_str(), 0666), 0);
    ASSERT_TRUE(files.replaceAtomically(status, "", 0600));
    EXPECT_EQ(readFile(status), "");
    EXPECT_EQ(modeOf(status), 0600U);

    ASSERT_TRUE(files.replaceAtomically(status, "shared", 0644));
    EXPECT_EQ(modeOf(status), 0644U);
    EXPECT_EQ(root.entries(), std::vector<std::string>{"status.json"});
}

INSTANTIATE_TEST_SUITE_P(Umasks, FileSystemModeTest, ::testing::Values(0077, 0000, 0022));

TEST(FileSystemTest, ReadersSeeOnlyWholeVersionsAndNeverAWiderMode) {
    ScopedUmask open(0);  // a file created with 0666 and narrowed later would show
    TemporaryDirectory root;
    PosixFileSystem files;
    const std::string status = root.file("status.json");
    auto version = [](int n) { return std::string(20000, static_cast<char>('a' + n % 26)); };
    ASSERT_TRUE(files.replaceAtomically(status, version(0), 0600));

    std::atomic<bool> writing{true};
    std::atomic<int> wideEntries{0};
    std::atomic<int> badReads{0};
    std::thread reader([&] {
        while (writing) {
            for (const auto& name : root.entries()) {
                const mode_t mode = modeOf(root.file(name));
                if (mode != static_cast<mode_t>(-1) && (mode & 077) != 0) ++wideEntries;
            }
            const std::string seen = readFile(status);
            if (seen.size() != 20000 || seen.find_first_not_of(seen[0]) != std::string::npos) ++badReads;
        }
    });
    for (int n = 1; n <= 300; ++n) ASSERT_TRUE(files.replaceAtomically(status, version(n), 0600));
    writing = false;
    reader.join();

    EXPECT_EQ(wideEntries, 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(readFile(status), version(300));
}

TEST(FileSystemTest, AFailedReplaceLeavesTheOldFileAndRemovesItsTemporary) {
    TemporaryDirectory root;
    PosixFileSystem files;
    const std::string status = root.file("status.json");
    ASSERT_TRUE(files.replaceAtomically(status, "old", 0600));

    // The target is a directory: the rename fails.
    ASSERT_TRUE(std::filesystem::create_directory(root.file("occupied")));
    writeFile(root.file("occupied/inside"), "x", 0600);
    EXPECT_FALSE(files.replaceAtomically(root.file("occupied"), "new", 0600));

    // The write fails: larger than this process may write.
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool replaced = files.replaceAtomically(status, std::string(5000, 'n'), 0600);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(readFile(status), "old");

    // The directory is missing: there is no temporary to make.
    EXPECT_FALSE(files.replaceAtomically(root.file("missing/status.json"), "new", 0600));

    auto entries = root.entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"occupied", "status.json"}));
}

TEST(FileSystemTest, RelativePathsReplaceInTheCurrentDirectory) {
    TemporaryDirectory root;
    PosixFileSystem files;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(root.path());
    const bool replaced = files.replaceAtomically("status.json", "here", 0600);
    std::filesystem::current_path(previous);
    EXPECT_TRUE(replaced);
    EXPECT_EQ(readFile(root.file("status.json")), "here");
    EXPECT_EQ(root.entries(), std::vector<std::string>{"status.json"});
}

TEST(FileSystemTest, DirectoriesCannotBeMadeThroughAFile) {
    TemporaryDirectory root;
    PosixFileSystem files;
    writeFile(root.file("file"), "x", 0644);
    EXPECT_FALSE(files.createDirectories(root.file("file"), 0700));
    EXPECT_FALSE(files.createDirectories(root.file("file/below"), 0700));
    EXPECT_FALSE(files.createDirectories("", 0700));
}

TEST(FileSystemTest, OnlyRegularFilesWithAnExecuteBitAreExecutable) {
    TemporaryDirectory root;
    PosixFileSystem files;
    writeFile(root.file("program"), "#!/bin/sh\n", 0755);
    writeFile(root.file("owner-only"), "#!/bin/sh\n", 0100);
    writeFile(root.file("text"), "#!/bin/sh\n", 0644);
    ASSERT_TRUE(std::filesystem::create_directory(root.file("directory")));
    std::filesystem::create_symlink(root.file("program"), root.file("link-to-program"));
    std::filesystem::create_symlink(root.file("directory"), root.file("link-to-directory"));

    EXPECT_TRUE(files.isExecutable(root.file("program")));
    EXPECT_TRUE(files.isExecutable(root.file("owner-only")));
    EXPECT_TRUE(files.isExecutable(root.file("link-to-program")));
    EXPECT_TRUE(files.isExecutable("/bin/sh"));
    EXPECT_FALSE(files.isExecutable(root.file("text")));
    EXPECT_FALSE(files.isExecutable(root.file("directory")));
    EXPECT_FALSE(files.isExecutable(root.file("link-to-directory")));
    EXPECT_FALSE(files.isExecutable(root.file("missing")));
    EXPECT_FALSE(files.isExecutable(""));
}

}  // namespace
}  // namespace tallyvane
