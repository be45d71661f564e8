// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChildProcess.h"

#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

namespace test_support {
namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

[[noreturn]] void EndChild(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(code);
}

}  // namespace

UserIds UnprivilegedUser() {
    if (::geteuid() == 0) return {kNobody, kNoGroup};
    return {::geteuid(), ::getegid()};
}

void GiveToUnprivilegedUser(const std::string& path) {
    if (::geteuid() != 0) return;
    const UserIds user = UnprivilegedUser();
    if (::lchown(path.c_str(), user.uid, user.gid) != 0) {
        ADD_FAILURE() << "cannot give " << path << " to the unprivileged user: " << std::strerror(errno);
    }
}

std::string ChildEnd::Describe() const {
    if (signal != 0) {
        const char* name = ::sigabbrev_np(signal);
        return std::string("killed by SIG") + (name != nullptr ? name : std::to_string(signal).c_str());
    }
    return exitCode == 0 ? "passed" : "exited with " + std::to_string(exitCode);
}

pid_t StartChildProcess(const std::function<void()>& body, RunAs who, unsigned timeLimitSeconds) {
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child != 0) return child;

    ::alarm(timeLimitSeconds);
    if (who == RunAs::UnprivilegedUser && ::geteuid() == 0) {
        const UserIds user = UnprivilegedUser();
        if (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0) {
            std::fprintf(stderr, "cannot drop to the unprivileged user: %s\n", std::strerror(errno));
            EndChild(3);
        }
    }
    try {
        body();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "exception in the child process: %s\n", error.what());
        EndChild(2);
    } catch (...) {
        std::fprintf(stderr, "exception in the child process\n");
        EndChild(2);
    }
    EndChild(::testing::Test::HasFailure() ? 1 : 0);
}

ChildEnd WaitForChild(pid_t child) {
    ChildEnd end;
    if (child < 0) return end;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return end;
    }
    if (WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    return end;
}

ChildEnd RunInChildProcess(const std::function<void()>& body, RunAs who, unsigned timeLimitSeconds) {
    return WaitForChild(StartChildProcess(body, who, timeLimitSeconds));
}

}  // namespace test_support
