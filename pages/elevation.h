// Running with the administrator rights that raw drive access needs.
// Windows asks for them through the program's manifest. On Linux the program,
// started without root, starts itself again through pkexec and waits for that
// copy to end.
#pragma once

namespace zd::ui {

// Set to any value, it keeps the program from relaunching itself when it runs
// without root on purpose: tests, and the screenshot tool on a machine
// without a desktop session.
inline constexpr char kStayUnprivilegedVariable[] = "ZEZA_DERA_NO_ELEVATION";

inline constexpr char kAdministratorRightsNeeded[] =
    "Administrator rights are needed to wipe drives. Start Movan Zeza Dera again and authenticate as an "
    "administrator when asked.";

// True when the process runs without root and has not been told to stay so.
bool NeedsElevation();

struct RelaunchResult {
    enum class Status {
        Finished,    // the elevated copy ran; exitCode is its exit code
        Refused,     // authentication was refused or dismissed
        Unavailable, // pkexec could not be started
    };
    Status status;
    int exitCode;
};

// Runs this program's executable with the same arguments through pkexec
// (found on PATH) and waits for it.
RelaunchResult RelaunchThroughPkexec(int argc, char** argv);

} // namespace zd::ui
