// The terminal's switching mode set to VT_PROCESS: the kernel signals the
// program instead of switching at once. The signal handlers only write a
// byte to a pipe; the program reads it in its event loop.
#include "platform/console_handover.h"

#include <fcntl.h>
#include <linux/vt.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/linux/unique_fd.h"

namespace zd::platform {

namespace {

using linux_os::UniqueFd;

constexpr int kLeaveSignal = SIGUSR1;
constexpr int kReturnSignal = SIGUSR2;

// The pipe's writing end, for the handlers; one handover per process.
std::atomic<int> g_requestWriter = -1;
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

void OnSwitchSignal(int signal)
{
    const int savedErrno = errno;
    const char request = signal == kLeaveSignal ? 'L' : 'R';
    [[maybe_unused]] const ssize_t written = ::write(g_requestWriter.load(), &request, 1);
    errno = savedErrno;
}

class LinuxConsoleHandover final : public ConsoleHandover {
public:
    LinuxConsoleHandover(UniqueFd terminal, const vt_mode& previous, UniqueFd reader, UniqueFd writer)
        : terminal_(std::move(terminal)), previous_(previous), reader_(std::move(reader)), writer_(std::move(writer))
    {
    }

    ~LinuxConsoleHandover() override
    {
        ::ioctl(terminal_.get(), VT_SETMODE, &previous_);
        ::signal(kLeaveSignal, SIG_DFL);
        ::signal(kReturnSignal, SIG_DFL);
        g_requestWriter = -1;
    }

    int RequestDescriptor() const override { return reader_.get(); }

    std::optional<Request> NextRequest() override
    {
        char request = 0;
        if (::read(reader_.get(), &request, 1) != 1)
            return std::nullopt;
        return request == 'L' ? Request::Leave : Request::Return;
    }

    void Leave() override { ::ioctl(terminal_.get(), VT_RELDISP, 1); }
    void Return() override { ::ioctl(terminal_.get(), VT_RELDISP, VT_ACKACQ); }

private:
    UniqueFd terminal_;
    vt_mode previous_;
    UniqueFd reader_;
    UniqueFd writer_;
};

} // namespace

std::unique_ptr<ConsoleHandover> ConsoleHandover::TakeTerminal()
{
    vt_mode previous{};
    if (g_requestWriter != -1 || ::ioctl(STDIN_FILENO, VT_GETMODE, &previous) != 0)
        return nullptr;
    UniqueFd terminal(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0));
    int ends[2];
    if (!terminal.valid() || ::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return nullptr;
    UniqueFd reader(ends[0]), writer(ends[1]);

    g_requestWriter = writer.get();
    struct sigaction action {};
    action.sa_handler = OnSwitchSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(kLeaveSignal, &action, nullptr);
    ::sigaction(kReturnSignal, &action, nullptr);
    vt_mode mode{};
    mode.mode = VT_PROCESS;
    mode.relsig = kLeaveSignal;
    mode.acqsig = kReturnSignal;
    auto handover =
        std::make_unique<LinuxConsoleHandover>(std::move(terminal), previous, std::move(reader), std::move(writer));
    if (::ioctl(STDIN_FILENO, VT_SETMODE, &mode) != 0)
        return nullptr;
    return handover;
}

} // namespace zd::platform
