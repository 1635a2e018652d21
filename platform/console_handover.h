// A program that draws on the framebuffer shares the screen with the text
// consoles of the other virtual terminals. Once it has taken its terminal
// over, the kernel asks it before switching to another terminal and tells
// it when the switch comes back, so that it never draws over a console.
#pragma once

#include <memory>
#include <optional>

namespace zd::platform {

class ConsoleHandover {
public:
    enum class Request { Leave, Return };

    // The virtual terminal on standard input (the one Qt's framebuffer
    // support takes as its own), taken over; null where standard input is
    // no virtual terminal (a desktop, a test, Windows) or it cannot be taken.
    static std::unique_ptr<ConsoleHandover> TakeTerminal();
    virtual ~ConsoleHandover() = default;

    // Readable when the kernel has asked something.
    virtual int RequestDescriptor() const = 0;
    // The oldest request not yet read, if any.
    virtual std::optional<Request> NextRequest() = 0;
    // Lets the switch to another terminal happen, once nothing is drawn.
    virtual void Leave() = 0;
    // Confirms that the terminal is shown again, before drawing resumes.
    virtual void Return() = 0;
};

} // namespace zd::platform
