// The help file, installed next to the program's executable.
#pragma once

#include <filesystem>

namespace zd::ui {

// Compiled HTML Help on Windows; the same page as plain HTML elsewhere, and
// on Windows when no help compiler was at hand for the build.
#ifdef _WIN32
inline constexpr char kHelpFileName[] = "Movan Zeza Dera.chm";
#else
inline constexpr char kHelpFileName[] = "Movan Zeza Dera.html";
#endif
inline constexpr char kHtmlHelpFileName[] = "Movan Zeza Dera.html";

// The help file beside the executable: kHelpFileName, or the HTML page when
// only that was shipped. An installed program without either beside it finds
// the HTML page in its data directory (ZD_INSTALLED_HELP_DIR, relative to the
// executable's directory).
std::filesystem::path HelpFilePath();

} // namespace zd::ui
