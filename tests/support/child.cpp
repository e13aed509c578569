#include "support/child.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace qivtest {

ChildResult run_in_child(const std::function<void()>& body) {
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0) return result;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        close(fds[1]);
        body();
        // Returning means no report ended the process: signal that distinctly.
        std::fflush(stdout);
        _exit(77);
    }
    close(fds[1]);
    char buf[4096];
    ssize_t got;
    while ((got = read(fds[0], buf, sizeof buf)) > 0)
        result.out.append(buf, static_cast<size_t>(got));
    close(fds[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    result.exited = WIFEXITED(wstatus);
    result.status = result.exited ? WEXITSTATUS(wstatus) : -1;
    return result;
}

std::string xerbla_line(const std::string& name, int pos) {
    char num[8];
    if (pos >= -9 && pos <= 9) {
        std::snprintf(num, sizeof num, pos < 0 ? "%d" : " %d", pos);
    } else if (pos >= 10 && pos <= 99) {
        std::snprintf(num, sizeof num, "%d", pos);
    } else {
        std::snprintf(num, sizeof num, "**");
    }
    return " ** On entry to " + name + " parameter number " + num + " had an illegal value\n";
}

}  // namespace qivtest
