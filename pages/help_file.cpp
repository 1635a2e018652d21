#include "help_file.h"

#include <QCoreApplication>

namespace zd::ui {

std::filesystem::path HelpFilePath()
{
    const std::filesystem::path directory(QCoreApplication::applicationDirPath().toStdU16String());
    const auto present = [](const std::filesystem::path& file) {
        std::error_code error;
        return std::filesystem::exists(file, error);
    };
    const auto preferred = directory / kHelpFileName;
    if (present(preferred))
        return preferred;
    if (const auto html = directory / kHtmlHelpFileName; present(html))
        return html;
#ifdef ZD_INSTALLED_HELP_DIR
    // An installed program keeps its help with its other data files.
    if (const auto installed = (directory / ZD_INSTALLED_HELP_DIR / kHtmlHelpFileName).lexically_normal();
        present(installed))
        return installed;
#endif
    return preferred;
}

} // namespace zd::ui
