#include "gui_font.h"

#include <QFontMetrics>
#include <QStringList>

namespace zd::ui {

QFont DefaultGuiFont()
{
    QFont font(QStringList{QStringLiteral("MS Shell Dlg 2"), QStringLiteral("Tahoma"),
                           QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSize(8);
    return font;
}

QFont WithCellHeight(QFont font, int pixels)
{
    for (int size = pixels; size > 1; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).height() <= pixels)
            break;
    }
    return font;
}

} // namespace zd::ui
