// Files and directories with exact modes whatever the umask, replaced atomically.
#include <signal.h>
#include <sys/resource.h>

#include "platform/posix/posix_file_system.h"
#include "platform_test_support.h"

namespace tallyvane::test {
namespace {

mode_t modeOf(const std::string& path) { return static_cast<mode_t>(std::filesystem::symlink_status(path).permissions()); }

// Under umasks that would weaken, strengthen or leave alone the requested modes.
class FileSystemUnderUmask : public ::testing::TestWithParam<mode_t> {};

TEST_P(FileSystemUnderUmask, NewDirectoriesAndReplacedFilesGetExactlyTheirModeAndOldDirectoriesKeepTheirs) {
    ::umask(GetParam());
    TemporaryDirectory root;
    PosixFileSystem files;
    const std::string support = root.file("Library/Application Support/Tallyvane"), status = support + "/status.json";
    ASSERT_EQ(::chmod(root.path.c_str(), 0751), 0);
    ASSERT_TRUE(files.createDirectories(support, 0700));
    ASSERT_EQ(::chmod(support.c_str(), 0750), 0);
    ASSERT_TRUE(files.createDirectories(support + "/shared//open/", 0755));
    for (const auto& [path, mode] : std::initializer_list<std::pair<std::string, mode_t>>{
             {root.path, 0751}, {root.file("Library"), 0700}, {root.file("Library/Application Support"), 0700},
             {support, 0750}, {support + "/shared", 0755}, {support + "/shared/open", 0755}})
        EXPECT_EQ(modeOf(path), mode) << path;
    std::filesystem::current_path(support);  // the second version names it from here
    for (const auto& [path, contents, mode] : std::initializer_list<std::tuple<std::string, std::string, mode_t>>{
             {status, "{\"running\": true}", 0600}, {"status.json", "", 0600}, {status, "shared", 0644}}) {
        ASSERT_TRUE(files.replaceAtomically(path, contents, mode));
        EXPECT_EQ(std::pair(readFile(status), modeOf(status)), std::pair(contents, mode));
        ::chmod(status.c_str(), 0666);  // the next version narrows a wider file
    }
    EXPECT_EQ(entries(support), (std::vector<std::string>{"shared", "status.json"}));
}

INSTANTIATE_TEST_SUITE_P(Umasks, FileSystemUnderUmask, ::testing::Values(0077, 0000, 0022));

TEST(FileSystem, FailuresChangeNothingAndLeaveNoTemporary) {
    TemporaryDirectory root;
    PosixFileSystem files;
    const std::string status = root.file("status.json");
    ASSERT_TRUE(files.replaceAtomically(status, "old", 0600));
    ASSERT_TRUE(std::filesystem::create_directory(root.file("occupied")));
    writeFile(root.file("occupied/inside"), "x", 0600);
    EXPECT_FALSE(files.replaceAtomically(root.file("occupied"), "new", 0600));  // the rename fails
    EXPECT_FALSE(files.replaceAtomically(root.file("missing/status.json"), "new", 0600));  // no temporary
    for (const std::string& path : {status + "/below", status, std::string()})
        EXPECT_FALSE(files.createDirectories(path, 0700)) << path;
    ::signal(SIGXFSZ, SIG_IGN);  // the write fails: larger than this process may write
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const rlimit small{1000, previous.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_FALSE(files.replaceAtomically(status, std::string(5000, 'n'), 0600));
    ::setrlimit(RLIMIT_FSIZE, &previous);  // the coverage counters are written at exit
    EXPECT_EQ(readFile(status), "old");
    EXPECT_EQ(entries(root.path), (std::vector<std::string>{"occupied", "status.json"}));
}

TEST(FileSystem, OnlyRegularFilesWithAnExecuteBitAreExecutable) {
    TemporaryDirectory root;
    for (const auto& [name, mode] : {std::pair{"program", 0755}, {"owner-only", 0100}, {"text", 0644}})
        writeFile(root.file(name), "#!/bin/sh\n", static_cast<mode_t>(mode));
    std::filesystem::create_directory(root.file("directory"));
    std::filesystem::create_symlink(root.file("program"), root.file("link-to-program"));
    std::filesystem::create_symlink(root.file("directory"), root.file("link-to-directory"));
    for (const auto& [name, executable] : {std::pair{"program", true}, {"owner-only", true}, {"link-to-program", true},
                                           {"text", false}, {"directory", false}, {"link-to-directory", false}, {"missing", false}})
        EXPECT_EQ(PosixFileSystem().isExecutable(root.file(name)), executable) << name;
}

}  // namespace
}  // namespace tallyvane::test
