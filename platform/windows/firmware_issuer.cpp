// Firmware commands are sent on Linux only; Windows wipes by overwriting.
#include "platform/firmware/command_issuer.h"

namespace zd::platform::firmware {

std::unique_ptr<CommandIssuer> OpenCommandIssuer(const std::filesystem::path&, std::string* error, IssuerAccess)
{
    *error = "firmware erase commands are available on Linux only: use wipe";
    return nullptr;
}

bool RereadCapacity(const std::filesystem::path&) { return false; }

} // namespace zd::platform::firmware
