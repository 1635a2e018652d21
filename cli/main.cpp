// zeza-dera-cli: the wipe engine without a window, for servers, scripts and
// benchmarks.
#include <exception>
#include <iostream>

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
    zd::cli::AddVerifyRecordCommand(app, exitCode);
#ifdef ZD_CERTIFICATE_PDF
    zd::cli::AddCertificateCommand(app, exitCode);
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? zd::cli::kExitOk : zd::cli::kExitUsage;
    } catch (const std::exception& error) {
        // No input may end the program without a word; what ran is unknown,
        // so it counts as not completed.
        std::cerr << "zeza-dera-cli: " << error.what() << '\n';
        return zd::cli::kExitTerminated;
    }
    return exitCode;
}
