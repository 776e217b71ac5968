// Launching children and talking to them: pipes, arguments, environment, descriptors, output order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <filesystem>
#include <thread>

#include "platform/posix/posix_child_launcher.h"
#include "platform/posix/user_environment.h"
#include "platform_test_support.h"

namespace tallyvane {
namespace {

using namespace test;

LaunchRequest shell(const std::string& script, std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"-c", script};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return {"/bin/sh", arguments, currentEnvironment()};
}

std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 1000) % 26);
    return bytes;
}

std::string readLink(const std::string& path) {
    char target[PATH_MAX];
    const ssize_t size = ::readlink(path.c_str(), target, sizeof target);
    return size < 0 ? std::string() : std::string(target, static_cast<std::size_t>(size));
}

std::vector<std::string> descriptorsOf(pid_t pid) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class ChildLauncherTest : public ::testing::Test {
protected:
    PosixChildLauncher launcher;
};

TEST_F(ChildLauncherTest, BytesMakeTheRoundTripThroughCatInOrder) {
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch({"/bin/cat", {}, currentEnvironment()}, recorder->events());
    ASSERT_TRUE(child);
    const std::string line = "{\"id\":1,\"method\":\"initialize\"}\n";
    EXPECT_TRUE(child->write(line));
    EXPECT_TRUE(recorder->waitForOutput(line.size()));
    EXPECT_EQ(recorder->output(), line);

    // Far more than a pipe holds: the write only completes because reading goes on meanwhile.
    const std::string bulk = patterned(4 * 1024 * 1024 + 17);
    EXPECT_TRUE(child->write(bulk));
    EXPECT_FALSE(child->hasExited());
    child->closeInput();
    EXPECT_TRUE(child->waitForExit(20s));
    EXPECT_TRUE(recorder->waitForExit());
    EXPECT_EQ(recorder->output(), line + bulk);
    EXPECT_EQ(recorder->exitCalls(), 1);
    EXPECT_FALSE(recorder->outputAfterExit());
    EXPECT_TRUE(child->hasExited());
}

TEST_F(ChildLauncherTest, ExitIsReportedOnceAfterTheLastByteOfAChildThatQuitsRightAfterWriting) {
    std::string lines;
    for (int i = 0; i < 300; ++i) lines += "line-" + std::to_string(i) + "\n";
    // Many small writes; and one burst that is still several reads long in an enlarged pipe
    // when the writer is already gone.
    const LaunchRequest small = shell("i=0; while [ $i -lt 300 ]; do echo line-$i; i=$((i+1)); done");
    const LaunchRequest burst{BURST_WRITER, {"1000000"}, {}};
    const std::string burstBytes = patterned(1000000);

    for (int round = 0; round < 200; ++round) {
        auto recorder = ChildRecorder::create();
        const bool bursting = round % 2 == 1;
        auto child = launcher.launch(bursting ? burst : small, recorder->events());
        ASSERT_TRUE(child);
        ASSERT_TRUE(child->waitForExit(20s)) << "round " << round;
        // Once the handle says it has exited, every byte has been delivered.
        ASSERT_EQ(recorder->output(), bursting ? burstBytes : lines) << "round " << round;
        ASSERT_TRUE(recorder->waitForExit());
        ASSERT_EQ(recorder->exitCalls(), 1);
        ASSERT_FALSE(recorder->outputAfterExit());
    }
}

TEST_F(ChildLauncherTest, ExitIsReportedWhileAGrandchildStillHoldsTheOutputOpen) {
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch(shell("sleep 60 & echo $!"), recorder->events());
    ASSERT_TRUE(child);
    EXPECT_TRUE(recorder->waitForExit());
    EXPECT_TRUE(child->hasExited());
    const std::string output = recorder->output();
    ASSERT_FALSE(output.empty());
    const pid_t grandchild = std::stoi(output);
    EXPECT_FALSE(processGone(grandchild));
    ::kill(grandchild, SIGKILL);
}

TEST_F(ChildLauncherTest, WritesFailWithoutSignalOnceTheChildCannotTakeThem) {
    auto closing = ChildRecorder::create();
    auto closedInput = launcher.launch(shell("exec <&-; echo closed; exec sleep 60"), closing->events());
    ASSERT_TRUE(closedInput);
    ASSERT_TRUE(closing->waitForOutput(7));
    EXPECT_FALSE(closedInput->write("{\"id\":11}\n"));  // EPIPE, and this process is still here
    EXPECT_FALSE(closedInput->hasExited());
    closedInput->kill();
    EXPECT_TRUE(closedInput->waitForExit(20s));
    EXPECT_FALSE(closedInput->write("after exit\n"));

    auto cat = launcher.launch({"/bin/cat", {}, {}}, ChildRecorder::create()->events());
    ASSERT_TRUE(cat);
    cat->closeInput();
    EXPECT_FALSE(cat->write("after close\n"));
    EXPECT_TRUE(cat->waitForExit(20s));
}

TEST_F(ChildLauncherTest, RefusedLaunchesReturnNullAndLeaveNothingBehind) {
    TemporaryDirectory directory;
    writeFile(directory.file("text"), "not a program\n", 0644);
    writeFile(directory.file("garbage"), std::string("\x7f\x01\x02garbage", 10), 0755);
    const int descriptors = openDescriptorCount();

    for (const std::string& executable :
         {std::string("/nonexistent/tallyvane-codex"), directory.file("text"), directory.file("garbage"), directory.path()}) {
        EXPECT_EQ(launcher.launch({executable, {"app-server"}, {}}, ChildRecorder::create()->events()), nullptr)
            << executable;
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_TRUE(zombieChildren().empty());
}

TEST_F(ChildLauncherTest, ArgumentsAndEnvironmentArriveExactlyAsRequested) {
    const std::vector<std::string> environment{
        "PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin", "EMPTY=", "WITH=an=equals sign",
        "UTF8=\xc3\xa9t\xc3\xa9"};
    const std::vector<std::string> arguments{"-c", "read line", "zero", "two words", "", "tab\there"};
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch({"/bin/sh", arguments, environment}, recorder->events());
    ASSERT_TRUE(child);
    const std::string proc = "/proc/" + std::to_string(child->pid());

    std::vector<std::string> expectedArgv{"/bin/sh"};
    expectedArgv.insert(expectedArgv.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(splitAtNul(readFile(proc + "/cmdline")), expectedArgv);
    EXPECT_EQ(splitAtNul(readFile(proc + "/environ")), environment);

    EXPECT_TRUE(child->write("\n"));
    EXPECT_TRUE(child->waitForExit(20s));

    auto bare = launcher.launch({"/bin/cat", {}, {}}, ChildRecorder::create()->events());
    ASSERT_TRUE(bare);
    EXPECT_EQ(readFile("/proc/" + std::to_string(bare->pid()) + "/environ"), "");
    bare->closeInput();
    EXPECT_TRUE(bare->waitForExit(20s));
}

TEST_F(ChildLauncherTest, ChildHasOnlyItsTwoPipesAndTheNullDevice) {
    // Inheritable on purpose: only closing everything above 2 keeps it out of the child.
    const int inheritable = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(inheritable, 0);
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch({"/bin/cat", {}, {}}, recorder->events());
    ASSERT_TRUE(child);
    // Once cat echoes, its loader has closed what it opened and cat sits in its read loop.
    ASSERT_TRUE(child->write("ready\n"));
    ASSERT_TRUE(recorder->waitForOutput(6));
    const std::string fd = "/proc/" + std::to_string(child->pid()) + "/fd/";

    EXPECT_EQ(descriptorsOf(child->pid()), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(readLink(fd + "2"), "/dev/null");
    EXPECT_EQ(readLink(fd + "0").rfind("pipe:", 0), 0U);
    EXPECT_EQ(readLink(fd + "1").rfind("pipe:", 0), 0U);
    EXPECT_NE(readLink(fd + "0"), readLink(fd + "1"));

    child->closeInput();
    EXPECT_TRUE(child->waitForExit(20s));
    ::close(inheritable);
}

TEST_F(ChildLauncherTest, ChildStartsWithDefaultSignalsInAGroupOfItsOwn) {
    // This process ignores SIGPIPE (the launcher) and blocks the quit signals (the test main).
    ASSERT_NE(statusField(::getpid(), "SigBlk"), "0000000000000000");
    ASSERT_NE(statusField(::getpid(), "SigIgn"), "0000000000000000");

    auto child = launcher.launch({"/bin/cat", {}, {}}, ChildRecorder::create()->events());
    ASSERT_TRUE(child);
    EXPECT_EQ(statusField(child->pid(), "SigBlk"), "0000000000000000");
    EXPECT_EQ(statusField(child->pid(), "SigIgn"), "0000000000000000");
    EXPECT_EQ(::getpgid(child->pid()), child->pid());
    EXPECT_NE(::getpgid(child->pid()), ::getpgid(0));

    child->closeInput();
    EXPECT_TRUE(child->waitForExit(20s));
}

TEST_F(ChildLauncherTest, PipesWorkWhenThisProcessRunsWithoutStandardInput) {
    ::close(STDIN_FILENO);  // the launcher's next descriptor lands on 0
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch({"/bin/cat", {}, {}}, recorder->events());
    ASSERT_TRUE(child);
    const std::string fd = "/proc/" + std::to_string(child->pid()) + "/fd/";
    EXPECT_EQ(readLink(fd + "0").rfind("pipe:", 0), 0U);
    EXPECT_EQ(readLink(fd + "2"), "/dev/null");
    EXPECT_TRUE(child->write("still here\n"));
    EXPECT_TRUE(recorder->waitForOutput(11));
    EXPECT_EQ(recorder->output(), "still here\n");
    child->closeInput();
    EXPECT_TRUE(child->waitForExit(20s));
    ::open("/dev/null", O_RDONLY);
}

TEST_F(ChildLauncherTest, NoOutputCallbackRunsAfterStopOutputReturnsYetTheChildIsDrained) {
    struct Observed {
        std::atomic<bool> stopped{false};
        std::atomic<bool> lateCall{false};
        std::atomic<std::size_t> received{0};
    };
    for (int round = 0; round < 20; ++round) {
        auto observed = std::make_shared<Observed>();
        ChildEvents events;
        events.output = [observed](std::string_view bytes) {
            if (observed->stopped) observed->lateCall = true;
            observed->received += bytes.size();
            std::this_thread::sleep_for(100us);  // widen the window for a racing stopOutput
        };
        // Much more than a pipe holds after the stop: the child only ends if it is drained.
        auto child = launcher.launch(shell("head -c 300000 /dev/zero; read x; head -c 3000000 /dev/zero"), events);
        ASSERT_TRUE(child);
        ASSERT_TRUE(eventually([&] { return observed->received > 0; }));
        child->stopOutput();
        observed->stopped = true;
        EXPECT_TRUE(child->write("\n"));
        ASSERT_TRUE(child->waitForExit(20s)) << "round " << round;
        EXPECT_FALSE(observed->lateCall) << "round " << round;
    }
}

TEST_F(ChildLauncherTest, OutputCanBeStoppedFromInsideTheOutputCallback) {
    struct Shared {
        std::mutex mutex;
        std::shared_ptr<ChildProcess> child;
        std::atomic<int> calls{0};
    };
    auto shared = std::make_shared<Shared>();
    ChildEvents events;
    events.output = [weak = std::weak_ptr<Shared>(shared)](std::string_view) {
        auto shared = weak.lock();
        if (!shared) return;
        ++shared->calls;
        std::lock_guard lock(shared->mutex);
        if (shared->child) shared->child->stopOutput();
    };
    auto child = launcher.launch(shell("read x; echo one; sleep 0.2; echo two; sleep 0.2; echo three"), events);
    ASSERT_TRUE(child);
    {
        std::lock_guard lock(shared->mutex);
        shared->child = child;
    }
    EXPECT_TRUE(child->write("\n"));
    EXPECT_TRUE(child->waitForExit(20s));
    EXPECT_EQ(shared->calls, 1);
    std::lock_guard lock(shared->mutex);
    shared->child.reset();
}

TEST_F(ChildLauncherTest, DroppingTheHandleClosesTheInputAndTheChildIsStillReaped) {
    auto recorder = ChildRecorder::create();
    auto child = launcher.launch({"/bin/cat", {}, {}}, recorder->events());
    ASSERT_TRUE(child);
    child.reset();
    EXPECT_TRUE(recorder->waitForExit());
    EXPECT_TRUE(eventually([] { return zombieChildren().empty(); }));
}

}  // namespace
}  // namespace tallyvane
