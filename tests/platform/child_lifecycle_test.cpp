// The life and death of children: process groups, signals, parent death, resources over many launches.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/child_exit_watch.h"
#include "platform/posix/child_spawn.h"
#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/user_environment.h"
#include "platform_test_support.h"

namespace tallyvane {
namespace {

using namespace test;

LaunchRequest shell(const std::string& script) { return {"/bin/sh", {"-c", script}, currentEnvironment()}; }

pid_t firstLineAsPid(const std::shared_ptr<ChildRecorder>& recorder) {
    if (!eventually([&] { return recorder->output().find('\n') != std::string::npos; })) return -1;
    return std::stoi(recorder->output());
}

class ChildLifecycleTest : public ::testing::Test {
protected:
    PosixChildLauncher launcher;
};

TEST_F(ChildLifecycleTest, TerminateReachesTheWholeProcessGroup) {
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch(shell("sleep 60 & echo $!; wait"), recorder->events());
    ASSERT_TRUE(child);
    const pid_t grandchild = firstLineAsPid(recorder);
    ASSERT_GT(grandchild, 0);

    child->terminate();
    EXPECT_TRUE(child->waitForExit(20s));
    EXPECT_TRUE(eventually([&] { return processGone(grandchild); }));
}

TEST_F(ChildLifecycleTest, MembersThatIgnoreTerminateSurviveItAndDieOnKill) {
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch(shell("trap '' TERM; sleep 60 & echo $!; wait"), recorder->events());
    ASSERT_TRUE(child);
    const pid_t grandchild = firstLineAsPid(recorder);
    ASSERT_GT(grandchild, 0);

    child->terminate();
    EXPECT_FALSE(child->waitForExit(300ms));
    EXPECT_FALSE(processGone(grandchild));

    child->kill();
    EXPECT_TRUE(child->waitForExit(20s));
    EXPECT_TRUE(recorder->waitForExit());
    EXPECT_TRUE(eventually([&] { return processGone(grandchild); }));
}

TEST_F(ChildLifecycleTest, SignalsAfterTheExitAreHarmless) {
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch({"/bin/true", {}, {}}, recorder->events());
    ASSERT_TRUE(child);
    ASSERT_TRUE(child->waitForExit(20s));
    child->terminate();
    child->kill();
    child->closeInput();
    child->stopOutput();
    EXPECT_TRUE(child->hasExited());
    EXPECT_TRUE(recorder->waitForExit());
    EXPECT_EQ(recorder->exitCalls(), 1);
}

TEST_F(ChildLifecycleTest, TheChildDiesWithTheProcessThatLaunchedIt) {
    // The helper launches `sleep`, prints its pid and vanishes without cleaning up.
    auto recorder = ChildRecorder::create();
    auto helper = launcher.launch({LAUNCH_AND_VANISH, {"/bin/sleep", "60"}, currentEnvironment()}, recorder->events());
    ASSERT_TRUE(helper);
    const pid_t orphan = firstLineAsPid(recorder);
    ASSERT_GT(orphan, 0);
    EXPECT_TRUE(helper->waitForExit(20s));
    EXPECT_TRUE(eventually([&] { return processGone(orphan); }));
}

TEST_F(ChildLifecycleTest, AThousandLaunchesLeaveNoDescriptorThreadOrZombie) {
    // Warm up once so that lazily opened runtime descriptors are not counted as leaks.
    auto first = launcher.launch({"/bin/true", {}, {}}, {});
    ASSERT_TRUE(first && first->waitForExit(20s));
    const int descriptors = openDescriptorCount();
    const int threads = threadCount();

    for (int round = 0; round < 1000; ++round) {
        auto recorder = ChildRecorder::create();
        auto child = launcher.launch({"/bin/true", {}, {}}, recorder->events());
        ASSERT_TRUE(child) << "round " << round;
        ASSERT_TRUE(child->waitForExit(20s)) << "round " << round;
        ASSERT_TRUE(recorder->waitForExit());
    }
    // At most: a leak would have grown by a thousand; fewer is a runtime's passing descriptor.
    EXPECT_LE(openDescriptorCount(), descriptors);
    EXPECT_TRUE(zombieChildren().empty());
    EXPECT_TRUE(eventually([&] { return threadCount() <= threads; }));
}

// Both ways of learning about an exit: readable only once the child has exited, which stays unreaped.
class ChildExitWatchTest : public ::testing::TestWithParam<UniqueFd (*)(pid_t)> {};

TEST_P(ChildExitWatchTest, BecomesReadableAtTheExitAndLeavesTheReapingToUs) {
    auto child = spawnChild({"/bin/sh", {"-c", "read x; exit 3"}, {}});
    ASSERT_TRUE(child);
    const UniqueFd watch = GetParam()(child->pid);
    ASSERT_TRUE(watch.valid());

    pollfd readable{watch.get(), POLLIN, 0};
    EXPECT_EQ(::poll(&readable, 1, 100), 0);
    ASSERT_EQ(::write(child->input.get(), "\n", 1), 1);
    EXPECT_EQ(::poll(&readable, 1, 20000), 1);
    EXPECT_EQ(statusField(child->pid, "State").substr(0, 1), "Z");  // its pid is still ours

    int status = 0;
    EXPECT_EQ(::waitpid(child->pid, &status, 0), child->pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
}

INSTANTIATE_TEST_SUITE_P(Ways, ChildExitWatchTest, ::testing::Values(&watchChildExit, &watchChildExitByWaiting),
                         [](const auto& info) { return std::string(info.index == 0 ? "Pidfd" : "WaitingThread"); });

}  // namespace
}  // namespace tallyvane
