// For classes whose operations report a failure as false: why the last one
// that failed did, in the system's words ("Input/output error",
// "/mnt/data is busy"), for the caller to pass on.
#pragma once

#include <string>
#include <utility>

namespace zd::platform {

class KeepsLastError {
public:
    // Empty while no operation has failed.
    const std::string& LastError() const { return lastError_; }

protected:
    ~KeepsLastError() = default;

    // Records why an operation failed; returns false for `return Fail(...)`.
    bool Fail(std::string why)
    {
        lastError_ = std::move(why);
        return false;
    }

private:
    std::string lastError_;
};

} // namespace zd::platform
