#include "drive_list.h"

namespace zd {

DriveList g_driveList;

void ClearDriveList() { g_driveList.Clear(); }

} // namespace zd
