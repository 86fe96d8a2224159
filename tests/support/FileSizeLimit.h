// Runs a piece of a test in a child process under a file-size limit (RLIMIT_FSIZE), with
// SIGXFSZ ignored so that a write past the limit fails with EFBIG instead of ending the
// process. The child's result is its exit status; the parent then checks the files.
#pragma once

#include <csignal>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// body() returns the child's exit status (0..99). Returns that status, or -1 when the child
// did not exit normally, 100 when the limit could not be set.
template <class Body>
int RunWithFileSizeLimit(rlim_t limit, Body body)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit r;
        r.rlim_cur = r.rlim_max = limit;
        if (setrlimit(RLIMIT_FSIZE, &r) != 0)
            _exit(100);
        _exit(body());
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
