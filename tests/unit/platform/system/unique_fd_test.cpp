#include "platform/system/unique_fd.h"

#include "close_audit.h"
#include "platform/system/retry_interrupted.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <utility>

namespace voxquill {
namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesOnceWhoeverEndsUpOwningIt) {
    const int badCloses = testing::closesOfNoDescriptor();
    int raw = -1;
    {
        UniqueFd first(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        raw = first.get();
        ASSERT_GE(raw, 0);
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first);
        UniqueFd third;
        third = std::move(second);
        EXPECT_EQ(third.get(), raw);
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw));
    EXPECT_EQ(testing::closesOfNoDescriptor(), badCloses) << "closed twice";
}

TEST(UniqueFd, LetsGoWithoutDisturbingErrnoAndGivesUpOnRelease) {
    UniqueFd held(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int raw = held.get();
    errno = ENOENT;
    held.reset();
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(isOpen(raw));

    UniqueFd given(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const int kept = given.release();
    given.reset();
    EXPECT_TRUE(isOpen(kept));
    ::close(kept);
}

TEST(RetryInterrupted, CallsAgainOnlyWhileASignalInterrupts) {
    int calls = 0;
    const int result = retryInterrupted([&calls] {
        errno = ++calls < 3 ? EINTR : EAGAIN;
        return -1;
    });
    EXPECT_EQ(result, -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace voxquill
