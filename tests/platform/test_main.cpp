// Like the program's entry: quit signals blocked before any thread exists.
#include <gtest/gtest.h>

#include "platform/posix/event_loop.h"

int main(int argc, char** argv) {
    tallyvane::EventLoop::blockQuitSignals();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
