#include "wipe_outcome.h"

namespace zd {

std::string DescribeFailure(const WipeFailure& failure, std::string_view device)
{
    const std::string pass = "pass " + std::to_string(failure.pass);
    switch (failure.step) {
    case WipeFailure::Step::Identity:
        return std::string(device) + " is not the device that was confirmed, and nothing was written: " + failure.error;
    case WipeFailure::Step::Prepare:
        return "the system would not give up " + std::string(device) + ": " + failure.error;
    case WipeFailure::Step::Write:
        return pass + " failed to write at sector " + std::to_string(failure.sector) + ": " + failure.error;
    case WipeFailure::Step::Flush:
        return pass + " was written but could not be flushed to the device: " + failure.error;
    }
    return failure.error;
}

} // namespace zd
