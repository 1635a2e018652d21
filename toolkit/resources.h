// The program's embedded artwork, reached by the numeric ids it also has in
// the Windows resource script.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <cstdint>

namespace zd::ui {

inline constexpr uint16_t kIconApplication = 128;
inline constexpr uint16_t kIconHelp = 325;
inline constexpr uint16_t kPngLogicalDrives = 326;
inline constexpr uint16_t kPngPhysicalDrives = 327;
inline constexpr uint16_t kIconHome = 332;
inline constexpr uint16_t kPngHomeBackground = 334;
inline constexpr uint16_t kPngPicturePanel = 335;
inline constexpr uint16_t kBitmapLogo = 337;

// Path of the "PNG" resource with this id; nothing exists there for an id
// that names no PNG resource.
QString PngResourcePath(uint16_t id);

// The bitmap resource with this id, or a null image.
QImage LoadBitmapResource(uint16_t id);

// The icon group with this id, every size of it, or a null icon.
QIcon LoadIconResource(uint16_t id);

} // namespace zd::ui
