// What the command-line tool tells a person while wipes run, from any
// thread: messages, and on a terminal a block of progress lines kept at the
// bottom and redrawn in place.
#pragma once

#include <cstdio>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace zd::cli {

// Whether a stream of the process is a terminal (a person may answer).
bool IsTerminal(std::FILE* stream);

class Console {
public:
    // Messages go to `messages`; progress to `status`, redrawn in place when
    // it is a terminal and written as plain lines otherwise.
    Console(std::ostream& messages, std::ostream& status, bool statusIsTerminal);

    bool terminal() const { return terminal_; }

    // A line for the person, above the progress block (which is drawn again
    // beneath it): a message, or a warning or error on the status stream.
    void Message(std::string_view line);
    void Warning(std::string_view line);

    // Replaces the progress block (on a terminal) or writes the lines (not).
    void Progress(const std::vector<std::string>& lines);

    // Takes the progress block away once the runs are over: what follows
    // says how each ended.
    void EndProgress();

private:
    void Write(std::ostream& stream, std::string_view line);
    void EraseBlock();
    void DrawBlock();

    std::ostream& messages_;
    std::ostream& status_;
    const bool terminal_;
    std::mutex mutex_;
    std::vector<std::string> block_; // drawn on the terminal now
};

} // namespace zd::cli
