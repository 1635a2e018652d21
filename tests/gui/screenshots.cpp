// Writes a PNG of the main window for every page and state of it into the
// directory given, without any user input: scripts/screenshots runs it on
// Qt's offscreen platform.
#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QTextStream>

#include "pages/home_wnd.h"
#include "pages/main_frame.h"
#include "pages/program_pages.h"
#include "toolkit/app_main_window.h"
#include "toolkit/base_wnd.h"
#include "toolkit/control_id.h"
#include "toolkit/movan_button.h"

using namespace zd::ui;

namespace {

bool Save(QWidget& window, const QDir& directory, const QString& name)
{
    const QString path = directory.filePath(name);
    if (!window.grab().save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << '\n';
        return false;
    }
    QTextStream(stdout) << path << '\n';
    return true;
}

void Hover(QWidget& control, bool inside)
{
    if (inside) {
        QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), control.mapToGlobal(QPointF(10, 10)));
        QApplication::sendEvent(&control, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&control, &leave);
    }
}

bool SaveHovered(CMainFrame& frame, int tileId, const QDir& directory, const QString& name)
{
    auto* tile = FindControl<QTRN_CMovanButton>(frame, tileId);
    if (!tile)
        return false;
    Hover(*tile, true);
    const bool saved = Save(frame, directory, name);
    Hover(*tile, false);
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: gui_screenshots DIRECTORY\n";
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!directory.mkpath(QStringLiteral(".")))
        return 1;

    CMainFrame frame(CreateProgramPage);
    SetAppMainWindow(&frame);
    if (!frame.Create())
        return 1;
    frame.show();

    const bool saved =
        Save(frame, directory, QStringLiteral("home.png")) &&
        SaveHovered(frame, CHomeWnd::kPhysicalDrivesId, directory, QStringLiteral("home-physical-hovered.png")) &&
        SaveHovered(frame, CHomeWnd::kLogicalDrivesId, directory, QStringLiteral("home-logical-hovered.png"));
    return saved ? 0 : 1;
}
