// The drive information panel of the drive page: name, media type and size
// of the selected drive, and its interface and sector size (a disk) or its
// file system (a volume). It shows nothing until the page sends it an entry.
#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "toolkit/app_message.h"

class QLabel;

namespace zd::ui {

class CDriveInfoWnd : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    // Control ids, labels odd and values even.
    static constexpr int kNameLabelId = 1001;
    static constexpr int kNameValueId = 1002;
    static constexpr int kMediaTypeLabelId = 1003;
    static constexpr int kMediaTypeValueId = 1004;
    static constexpr int kInterfaceLabelId = 1005;
    static constexpr int kInterfaceValueId = 1006;
    static constexpr int kSizeLabelId = 1007;
    static constexpr int kSizeValueId = 1008;
    static constexpr int kSectorSizeLabelId = 1009;
    static constexpr int kSectorSizeValueId = 1010;
    static constexpr int kFileSystemLabelId = 1011;
    static constexpr int kFileSystemValueId = 1012;

    CDriveInfoWnd();
    ~CDriveInfoWnd() override;

    // Makes the panel a visible child of parent with its twelve controls,
    // all hidden.
    bool Create(QWidget* parent);

    // WM_SHOW_DRIVE_INFO: wParam a DriveEntry, lParam 1 shows it (its texts
    // are copied), 0 hides every control.
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // In creation order: six labels, then six values.
    enum Control {
        NameLabel,
        MediaTypeLabel,
        InterfaceLabel,
        SectorSizeLabel,
        SizeLabel,
        FileSystemLabel,
        NameValue,
        MediaTypeValue,
        InterfaceValue,
        SectorSizeValue,
        SizeValue,
        FileSystemValue,
        kControlCount
    };

    void ShowRow(Control label, Control value, bool shown);

    std::array<std::unique_ptr<QLabel>, kControlCount> controls_;
};

} // namespace zd::ui
