#include "help_file.h"

#include <QCoreApplication>

namespace zd::ui {

std::filesystem::path HelpFilePath()
{
    const std::filesystem::path directory(QCoreApplication::applicationDirPath().toStdU16String());
    const auto preferred = directory / kHelpFileName;
    const auto html = directory / kHtmlHelpFileName;
    std::error_code error;
    return !std::filesystem::exists(preferred, error) && std::filesystem::exists(html, error) ? html : preferred;
}

} // namespace zd::ui
