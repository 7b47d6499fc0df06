#ifndef _WIN32
#include "support/unprivileged.h"

#include <sys/wait.h>
#include <unistd.h>

int runUnprivileged(const std::function<int()>& action)
{
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        _exit(action());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}
#endif
