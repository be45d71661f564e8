// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>

namespace test_support {

// The unprivileged account a child process drops to when the tests run as root: nobody and
// nogroup (65534). Run by anyone else, it is that user.
struct UserIds {
    uid_t uid;
    gid_t gid;
};
UserIds UnprivilegedUser();

// Gives path to the unprivileged user (when running as root; otherwise it is already theirs).
void GiveToUnprivilegedUser(const std::string& path);

enum class RunAs { CurrentUser, UnprivilegedUser };

// How a child process ended.
struct ChildEnd {
    int exitCode = -1;  // when it exited
    int signal = 0;     // when a signal ended it
    bool Passed() const { return signal == 0 && exitCode == 0; }
    std::string Describe() const;  // "passed", "exited with 1", "killed by SIGXFSZ", ...
};

// Starts body in a forked child process, as the unprivileged user when asked (root drops its
// groups, group and user before the body runs), waits for it and tells how it ended. Assertions
// that fail in the child print as usual and make it exit with 1; an exception makes it exit with
// 2. A child still running after timeLimitSeconds is ended by SIGALRM, so a body that would hang
// fails instead. For single-threaded test programs: fork copies only the calling thread.
ChildEnd RunInChildProcess(const std::function<void()>& body, RunAs who = RunAs::UnprivilegedUser,
                           unsigned timeLimitSeconds = 60);

// The same without waiting: the child's process id, for WaitForChild.
pid_t StartChildProcess(const std::function<void()>& body, RunAs who = RunAs::CurrentUser,
                        unsigned timeLimitSeconds = 60);
ChildEnd WaitForChild(pid_t child);

}  // namespace test_support
