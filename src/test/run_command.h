#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

// What a program did: its exit status (-1 when it did not exit normally, for example
// aborted) and everything it wrote.
struct CommandResult {
    int status = -1;
    std::string out, err;
};

// Runs `argv` to its end with no standard input, without the environment variables
// named in `unset`. Output is read to files, so a talkative program cannot block.
inline CommandResult RunCommand(std::vector<std::string> argv, const std::vector<std::string>& unset = {}) {
    char outName[] = "/tmp/corvala-cmd-out-XXXXXX", errName[] = "/tmp/corvala-cmd-err-XXXXXX";
    const int out = mkstemp(outName), err = mkstemp(errName);
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& name : unset) unsetenv(name.c_str());
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    CommandResult r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    auto slurp = [](int fd) {
        std::string text;
        char buffer[4096];
        lseek(fd, 0, SEEK_SET);
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
        close(fd);
        return text;
    };
    r.out = slurp(out);
    r.err = slurp(err);
    unlink(outName);
    unlink(errName);
    return r;
}
