#include "cli_process.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>

namespace zd::test {

CliResult RunCli(const CliRun& run)
{
    int in[2], out[2], err[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0)
        return {};
    if (run.closedOutput) {
        ::close(out[0]); // every write to it fails with EPIPE (and raises SIGPIPE)
        out[0] = -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            if (fd >= 0)
                ::close(fd);
        for (const auto& [name, value] : run.env)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(ZD_CLI)};
        for (const std::string& arg : run.args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(ZD_CLI, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // A child that exits before reading its input must not end the test.
    ::signal(SIGPIPE, SIG_IGN);
    if (!run.input.empty()) [[maybe_unused]]
        const auto written = ::write(in[1], run.input.data(), run.input.size());
    ::close(in[1]);

    CliResult result;
    bool watching = static_cast<bool>(run.watch);
    std::array<pollfd, 2> fds{{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&result.out, &result.err};
    int open = run.closedOutput ? 1 : 2;
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            }
        }
        if (watching && run.watch(pid, result.out, result.err))
            watching = false;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace zd::test
