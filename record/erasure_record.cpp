#include "erasure_record.h"

#include "zd_version.h"

namespace zd::record {

std::string_view ToolVersion() { return ZD_VERSION; }

std::string OutcomeText(RunEnd end, std::string_view cause, const std::optional<VerificationRecord>& verification)
{
    switch (end) {
    case RunEnd::Completed:
        return std::string(verification && verification->failures() > 0 ? kErasedVerificationFailed : kErased);
    case RunEnd::Cancelled:
        return std::string(kCancelled);
    case RunEnd::Terminated:
        break;
    }
    return std::string(kTerminatedPrefix) + std::string(cause.empty() ? "cause not reported" : cause);
}

OutcomeKind KindOfOutcome(std::string_view outcome)
{
    if (outcome == kErased)
        return OutcomeKind::Erased;
    if (outcome == kErasedVerificationFailed)
        return OutcomeKind::VerificationFailed;
    if (outcome == kCancelled)
        return OutcomeKind::Cancelled;
    if (outcome.starts_with(kTerminatedPrefix) && outcome.size() > kTerminatedPrefix.size())
        return OutcomeKind::Terminated;
    return OutcomeKind::Unknown;
}

} // namespace zd::record
