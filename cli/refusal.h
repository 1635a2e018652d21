// A target refused before anything was written to any, as the command's
// messages and its summary event name it.
#pragma once

#include <string>

namespace zd::cli {

struct Refusal {
    std::string given;
    std::string target; // the device it names, when that could be told
    std::string reason;
};

} // namespace zd::cli
