#include "resources.h"

#include <QFile>
#include <mutex>

// The resource library is linked statically; naming its initialiser keeps it
// in the program.
static void InitialiseArtwork() { Q_INIT_RESOURCE(zeza_dera); }

namespace zd::ui {

namespace {

QString ResourcePath(const char* kind, uint16_t id, const char* suffix)
{
    static std::once_flag initialised;
    std::call_once(initialised, InitialiseArtwork);
    return QStringLiteral(":/%1/%2.%3").arg(QLatin1String(kind)).arg(id).arg(QLatin1String(suffix));
}

} // namespace

QString PngResourcePath(uint16_t id) { return ResourcePath("png", id, "png"); }

QImage LoadBitmapResource(uint16_t id) { return QImage(ResourcePath("bitmap", id, "bmp"), "BMP"); }

QIcon LoadIconResource(uint16_t id)
{
    const QString path = ResourcePath("icon", id, "ico");
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace zd::ui
