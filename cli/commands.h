// The subcommands of zeza-dera-cli. Each registers itself on the app and
// stores its exit code in `exitCode` when it runs.
#pragma once

#include <algorithm>
#include <iterator>

#include <CLI/CLI.hpp>

namespace zd::cli {

// Exit codes shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitTerminated = 1;    // a wipe that did not complete
inline constexpr int kExitVerifyFailed = 3;  // a wipe that completed, but a sample read back differently or not at all
inline constexpr int kExitLogIncomplete = 4; // a wipe that completed, but its run log is incomplete

// The worse of two runs' exit codes, for a command's own: 0 < 3 < 4 < 2 < 1
// (a run refused at its last check wrote nothing; a terminated one may have).
inline int WorseExitCode(int a, int b)
{
    constexpr int kOrder[] = {kExitOk, kExitVerifyFailed, kExitLogIncomplete, kExitUsage, kExitTerminated};
    const auto rank = [&](int code) { return std::find(std::begin(kOrder), std::end(kOrder), code); };
    return rank(b) > rank(a) ? b : a;
}

void AddProbeCommand(CLI::App& app, int& exitCode);
void AddListCommand(CLI::App& app, int& exitCode);
void AddMethodsCommand(CLI::App& app, int& exitCode);
void AddWipeCommand(CLI::App& app, int& exitCode);
void AddVerifyRecordCommand(CLI::App& app, int& exitCode);
void AddSanitizeCommand(CLI::App& app, int& exitCode);
// Only where the program draws certificates (with Qt).
void AddCertificateCommand(CLI::App& app, int& exitCode);

} // namespace zd::cli
