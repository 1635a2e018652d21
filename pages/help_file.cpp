#include "help_file.h"

#include <QCoreApplication>

namespace zd::ui {

std::filesystem::path HelpFilePath()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()) / kHelpFileName;
}

} // namespace zd::ui
