// Runs the built zeza-dera-cli as a child process and collects what it
// writes, optionally acting on its output while it runs.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace zd::test {

struct CliResult {
    int exitCode = -1; // -1 when it did not exit normally
    std::string out;
    std::string err;
};

struct CliRun {
    CliRun(std::vector<std::string> args, std::string input = {}, std::map<std::string, std::string> env = {})
        : args(std::move(args)), input(std::move(input)), env(std::move(env))
    {
    }

    std::vector<std::string> args;
    std::string input;                      // written to its standard input, which is then closed
    std::map<std::string, std::string> env; // added to the environment
    bool closedOutput = false;              // its standard output is a pipe that no one reads
    // Called with the output so far (out, err) after every read; may act on
    // the process (pid) and returns true once it has done so.
    std::function<bool(int pid, const std::string& out, const std::string& err)> watch;
};

CliResult RunCli(const CliRun& run);

} // namespace zd::test
