#include "console.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace zd::cli {

bool IsTerminal(std::FILE* stream)
{
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

Console::Console(std::ostream& messages, std::ostream& status, bool statusIsTerminal)
    : messages_(messages), status_(status), terminal_(statusIsTerminal)
{
}

void Console::Message(std::string_view line) { Write(messages_, line); }

void Console::Warning(std::string_view line) { Write(status_, line); }

void Console::Write(std::ostream& stream, std::string_view line)
{
    const std::lock_guard lock(mutex_);
    EraseBlock();
    stream << line << std::endl;
    DrawBlock();
    // A reader that went away ends the output, never a wipe.
    stream.clear();
}

void Console::Progress(const std::vector<std::string>& lines)
{
    const std::lock_guard lock(mutex_);
    if (!terminal_) {
        for (const std::string& line : lines)
            status_ << line << '\n';
        status_.flush();
        status_.clear();
        return;
    }
    EraseBlock();
    block_ = lines;
    DrawBlock();
}

void Console::EndProgress()
{
    const std::lock_guard lock(mutex_);
    EraseBlock();
    block_.clear();
}

// Up to the block's first line, then everything below the cursor cleared.
void Console::EraseBlock()
{
    if (!terminal_ || block_.empty())
        return;
    status_ << "\x1b[" << block_.size() << "A\r\x1b[J" << std::flush;
}

void Console::DrawBlock()
{
    if (!terminal_ || block_.empty())
        return;
    for (const std::string& line : block_)
        status_ << line << "\x1b[K\n";
    status_.flush();
    status_.clear();
}

} // namespace zd::cli
