#include "platform/qt/single_instance.h"

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/shell/support/qt_wait.h"

namespace tallyvane {
namespace {

using testing::waitUntil;

TEST(SingleInstance, SecondClaimStepsBackAndAsksTheFirstToOpen) {
    QTemporaryDir dir;
    SingleInstance first(dir.path());
    int openRequests = 0;
    QObject::connect(&first, &SingleInstance::openRequested, [&] { ++openRequests; });
    ASSERT_TRUE(first.claim());

    SingleInstance second(dir.path());
    EXPECT_FALSE(second.claim());
    EXPECT_TRUE(waitUntil([&] { return openRequests == 1; }));

    SingleInstance third(dir.path());
    EXPECT_FALSE(third.claim());
    EXPECT_TRUE(waitUntil([&] { return openRequests == 2; }));
}

TEST(SingleInstance, LockGoesWithItsHolder) {
    QTemporaryDir dir;
    {
        SingleInstance first(dir.path());
        ASSERT_TRUE(first.claim());
    }
    SingleInstance next(dir.path());
    int openRequests = 0;
    QObject::connect(&next, &SingleInstance::openRequested, [&] { ++openRequests; });
    EXPECT_TRUE(next.claim());
    // It serves on the socket the previous holder left behind.
    SingleInstance later(dir.path());
    EXPECT_FALSE(later.claim());
    EXPECT_TRUE(waitUntil([&] { return openRequests == 1; }));
}

TEST(SingleInstance, AKilledHolderLeavesNoStaleLock) {
    QTemporaryDir dir;
    const QByteArray lockPath = QFile::encodeName(QDir(dir.path()).filePath(QStringLiteral("tallyvane.lock")));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT, 0600);
        if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    {
        SingleInstance blocked(dir.path());
        EXPECT_FALSE(blocked.claim());
    }
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    SingleInstance after(dir.path());
    EXPECT_TRUE(after.claim());
}

TEST(SingleInstance, RunsWhenNoLockCanBeMade) {
    SingleInstance nowhere(QStringLiteral("/nonexistent/tallyvane-test"));
    EXPECT_TRUE(nowhere.claim());
}

TEST(SingleInstanceDirectory, PrefersTheRuntimeDirectory) {
    QTemporaryDir runtime;
    EXPECT_EQ(singleInstanceDirectory(runtime.path(), QStringLiteral("/home/u/Library/Application Support/Tallyvane")),
              runtime.path());
    EXPECT_EQ(singleInstanceDirectory(QString(), QStringLiteral("/support")), QStringLiteral("/support"));
    EXPECT_EQ(singleInstanceDirectory(QStringLiteral("/nonexistent/run"), QStringLiteral("/support")),
              QStringLiteral("/support"));
}

}  // namespace
}  // namespace tallyvane
