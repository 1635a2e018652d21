// The system's words for an errno value ("Input/output error").
#pragma once

#include <string>
#include <system_error>

namespace zd::platform::linux_os {

inline std::string ErrorText(int error) { return std::system_category().message(error); }

} // namespace zd::platform::linux_os
