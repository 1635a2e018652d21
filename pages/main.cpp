// The desktop program.
#include <QApplication>

#include "pages/program_pages.h"
#include "pages/zeza_dera_app.h"
#include "toolkit/message_box.h"

#ifndef _WIN32
#include "pages/elevation.h"
#endif

int main(int argc, char* argv[])
{
#ifndef _WIN32
    // The counterpart of the Windows manifest's administrator request.
    if (zd::ui::NeedsElevation()) {
        const zd::ui::RelaunchResult relaunch = zd::ui::RelaunchThroughPkexec(argc, argv);
        if (relaunch.status == zd::ui::RelaunchResult::Status::Finished)
            return relaunch.exitCode;
        QApplication application(argc, argv);
        zd::ui::ShowMessageBox({nullptr, QString::fromLatin1(zd::ui::kAdministratorRightsNeeded),
                                QStringLiteral("Warning"), zd::ui::MessageIcon::Error, zd::ui::MessageButtons::Ok});
        return 1;
    }
#endif

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Movan Zeza Dera"));
    QApplication::setDesktopFileName(QStringLiteral("zeza-dera"));

    zd::ui::CZezaDeraApp app(zd::ui::ProgramPages({}));
    if (!app.InitInstance())
        return 1;
    return QApplication::exec();
}
