// zeza-dera-cli: the wipe engine without a window, for servers, scripts and
// benchmarks.
#include "commands.h"
#include "zd_version.h"

int main(int argc, char** argv)
{
    CLI::App app{"Movan Zeza Dera: destroys the contents of a disk or volume by overwriting it."};
    app.require_subcommand(1);
    app.set_version_flag("--version", "zeza-dera-cli " ZD_VERSION);
    int exitCode = zd::cli::kExitOk;
    zd::cli::AddProbeCommand(app, exitCode);
    zd::cli::AddListCommand(app, exitCode);
    zd::cli::AddMethodsCommand(app, exitCode);
    zd::cli::AddWipeCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? zd::cli::kExitOk : zd::cli::kExitUsage;
    }
    return exitCode;
}
