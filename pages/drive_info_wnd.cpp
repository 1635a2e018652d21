#include "drive_info_wnd.h"

#include <QLabel>

#include "discovery/drive_list.h"
#include "pages/custom_messages.h"
#include "pages/drive_names.h"
#include "pages/fixed_text_qt.h"
#include "pages/gui_font.h"
#include "toolkit/class_background.h"
#include "toolkit/control_id.h"

namespace zd::ui {

namespace {

struct ControlSpec {
    int id;
    const char* caption;
};

// Creation order of the controls, matching the Control enumeration.
constexpr ControlSpec kControls[] = {
    {CDriveInfoWnd::kNameLabelId, "Name : "},
    {CDriveInfoWnd::kMediaTypeLabelId, "Media Type : "},
    {CDriveInfoWnd::kInterfaceLabelId, "Interface : "},
    {CDriveInfoWnd::kSectorSizeLabelId, "Bytes Per Sector : "},
    {CDriveInfoWnd::kSizeLabelId, "Size : "},
    {CDriveInfoWnd::kFileSystemLabelId, "File System : "},
    {CDriveInfoWnd::kNameValueId, ""},
    {CDriveInfoWnd::kMediaTypeValueId, ""},
    {CDriveInfoWnd::kInterfaceValueId, ""},
    {CDriveInfoWnd::kSectorSizeValueId, ""},
    {CDriveInfoWnd::kSizeValueId, ""},
    {CDriveInfoWnd::kFileSystemValueId, ""},
};

} // namespace

CDriveInfoWnd::CDriveInfoWnd() = default;

CDriveInfoWnd::~CDriveInfoWnd()
{
    for (auto& control : controls_)
        control.reset();
}

bool CDriveInfoWnd::Create(QWidget* parent)
{
    setParent(parent);
    SetClassBackground(*this, Qt::white);
    setFont(DefaultGuiFont());
    for (int i = 0; i < kControlCount; ++i) {
        auto control = std::make_unique<QLabel>(QString::fromLatin1(kControls[i].caption), this);
        SetControlId(*control, kControls[i].id);
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Names, labels and types come from the devices: shown as they are,
        // never as markup.
        control->setTextFormat(Qt::PlainText);
        control->hide();
        controls_[static_cast<std::size_t>(i)] = std::move(control);
    }
    // A long name wraps onto the value's second line.
    controls_[NameValue]->setWordWrap(true);
    show();
    return true;
}

void CDriveInfoWnd::resizeEvent(QResizeEvent*)
{
    const int w = width();
    const struct {
        Control control;
        QRect place;
    } layout[] = {
        {NameLabel, {5, 0, 40, 20}},         {NameValue, {45, 0, w - 50, 40}},
        {MediaTypeLabel, {5, 50, 65, 20}},   {MediaTypeValue, {70, 50, w - 70, 20}},
        {SizeLabel, {5, 80, 30, 20}},        {SizeValue, {35, 80, w - 35, 20}},
        {InterfaceLabel, {5, 110, 55, 20}},  {InterfaceValue, {60, 110, w - 60, 20}},
        {SectorSizeLabel, {5, 140, 90, 20}}, {SectorSizeValue, {95, 140, w - 95, 20}},
        {FileSystemLabel, {5, 110, 65, 20}}, {FileSystemValue, {70, 110, w - 70, 20}},
    };
    for (const auto& [control, place] : layout)
        if (controls_[control])
            controls_[control]->setGeometry(place);
}

intptr_t CDriveInfoWnd::HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (message != WM_SHOW_DRIVE_INFO)
        return 0;
    if (lParam == 0) {
        for (auto& control : controls_)
            control->hide();
        return 0;
    }
    const auto* entry = reinterpret_cast<const DriveEntry*>(wParam);
    if (!entry)
        return 0;
    const bool physical = entry->entryKind == kEntryPhysicalDisk;
    controls_[MediaTypeValue]->setText(ToQString(entry->mediaType));
    controls_[SizeValue]->setText(ToQString(entry->sizeText));
    controls_[SectorSizeValue]->setText(QString::number(entry->bytesPerSector));
    controls_[NameValue]->setText(ListedName(*entry));
    if (physical)
        controls_[InterfaceValue]->setText(ToQString(entry->interfaceType));
    else
        controls_[FileSystemValue]->setText(ToQString(entry->fileSystem));
    ShowRow(NameLabel, NameValue, true);
    ShowRow(MediaTypeLabel, MediaTypeValue, true);
    ShowRow(SizeLabel, SizeValue, true);
    ShowRow(InterfaceLabel, InterfaceValue, physical);
    ShowRow(SectorSizeLabel, SectorSizeValue, physical);
    ShowRow(FileSystemLabel, FileSystemValue, !physical);
    return 0;
}

void CDriveInfoWnd::ShowRow(Control label, Control value, bool shown)
{
    controls_[label]->setVisible(shown);
    controls_[value]->setVisible(shown);
}

} // namespace zd::ui
