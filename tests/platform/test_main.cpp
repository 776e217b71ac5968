// Like the program's entry: quit signals blocked before any thread exists. Run as
// `platform_tests --burst N`, it is instead a child that leaves N bytes in an enlarged pipe and exits.
#include <fcntl.h>

#include "platform/posix/event_loop.h"
#include "platform_test_support.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--burst") {
        const std::string bytes = tallyvane::test::counted(std::stoi(argv[2]));
        ::fcntl(STDOUT_FILENO, F_SETPIPE_SZ, static_cast<int>(bytes.size()));
        return ::write(STDOUT_FILENO, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) ? 0 : 1;
    }
    tallyvane::EventLoop::blockQuitSignals();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
