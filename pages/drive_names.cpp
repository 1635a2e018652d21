#include "drive_names.h"

#include "discovery/drive_list.h"
#include "pages/fixed_text_qt.h"

namespace zd::ui {

QString EntryName(const DriveEntry& entry)
{
    return ToQString(entry.entryKind == kEntryPhysicalDisk ? entry.caption : entry.displayName);
}

QString ListedName(const DriveEntry& entry)
{
    const QString name = EntryName(entry);
#ifdef __linux__
    const QString path = ToQString(entry.deviceName);
    if (!path.isEmpty() && !name.contains(path))
        return name + QStringLiteral(" (") + path + u')';
#endif
    return name;
}

} // namespace zd::ui
