// The subcommands of zeza-dera-cli. Each registers itself on the app and
// stores its exit code in `exitCode` when it runs.
#pragma once

#include <CLI/CLI.hpp>

namespace zd::cli {

// Exit codes shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

void AddProbeCommand(CLI::App& app, int& exitCode);
void AddListCommand(CLI::App& app, int& exitCode);

} // namespace zd::cli
