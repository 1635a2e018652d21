// The help file, installed next to the program's executable.
#pragma once

#include <filesystem>

namespace zd::ui {

#ifdef _WIN32
inline constexpr char kHelpFileName[] = "Movan Zeza Dera.chm";
#else
inline constexpr char kHelpFileName[] = "Movan Zeza Dera.html";
#endif

std::filesystem::path HelpFilePath();

} // namespace zd::ui
