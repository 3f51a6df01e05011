#pragma once
// Runs a check as an ordinary user. File permissions do not bind root, so where the tests run as
// root a forked child drops to the unprivileged user "nobody" (65534) before checking.

#include <functional>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace patchlens::test {

// True when `check` returns true; false when it returns false or cannot be run unprivileged.
inline bool AsUnprivileged(const std::function<bool()> &check) {
#ifdef _WIN32
    return check();
#else
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

} // namespace patchlens::test
