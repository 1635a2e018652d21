// The drive page: the user picks a drive of the kind chosen on the home
// page and one of the sixteen overwrite methods; Next checks the choice,
// opens the device, asks for confirmation and hands over to the progress
// page; Back returns to the home page.
#pragma once

#include <QFont>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "pages/wizard_options.h"
#include "platform/system_volume.h"
#include "toolkit/app_message.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace zd {
class DriveList;
struct DriveEntry;
} // namespace zd

namespace zd::ui {

class CActiveWnd;
class CDriveInfoWnd;
class QTRN_CMovanButton;

class CDriveListWnd : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    static constexpr int kFirstMethodId = 3001;
    static constexpr int kCustomMethodButtonId = 3016;
    static constexpr int kNextId = 3017;
    static constexpr int kBackId = 3018;
    static constexpr int kChooseLabelId = 3019;
    static constexpr int kFirstGroupId = 3020;
    static constexpr int kCustomHintId = 3025;
    static constexpr int kCustomEditId = 3026;
    static constexpr int kDriveComboId = 3027;
    static constexpr int kCustomLength = 8;

    explicit CDriveListWnd(const WizardOptions& options);
    ~CDriveListWnd() override;

    // Makes the page a visible child of the page host with its controls, a
    // fresh wipe selection (method 1) and a discovery of the drives of the
    // host's physical flag.
    bool Create(CActiveWnd* host);

    // WM_DRIVES_DISCOVERED: fills the combo box from the drive list.
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    QComboBox* DriveCombo() const { return combo_.get(); }
    CDriveInfoWnd* InfoPanel() const { return infoPanel_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kMethodCount = 16;
    static constexpr int kGroupCount = 5;

    bool CreateControls();
    std::unique_ptr<QTRN_CMovanButton> CreateImageButton(int id, const QString& caption);
    void AdoptDiscoveredDrives(DriveList& discovered);
    void FillDriveCombo();
    void OnSelectionChange(int index);
    void OnMethod(int buttonId);
    void OnNext();
    void OnBack();
    int CheckedMethodId() const;
    // Writes the drive names of the selection and the log for the selected
    // entry and gives the name to open; nothing when the drive holds the
    // running system (the user has been told).
    std::optional<std::u16string> ChosenOpenName(const DriveEntry& entry);
    // When the drive of the running system cannot be determined, nothing
    // refuses a drive for holding it: the user is told before confirming.
    void WarnOfUnknownSystem();

    WizardOptions options_;
    // The running system's drives, as they were when the page was made.
    const platform::SystemDrives systemDrives_;
    std::unique_ptr<QComboBox> combo_;
    std::unique_ptr<QLabel> unknownSystemLine_; // only while the system's drive is unknown
    std::unique_ptr<QLabel> chooseLabel_;
    std::unique_ptr<QLabel> customHint_;
    std::array<std::unique_ptr<QGroupBox>, kGroupCount> groups_;
    std::array<std::unique_ptr<QRadioButton>, kMethodCount> methods_;
    std::unique_ptr<QLineEdit> customEdit_;
    std::unique_ptr<QTRN_CMovanButton> next_;
    std::unique_ptr<QTRN_CMovanButton> back_;
    std::unique_ptr<CDriveInfoWnd> infoPanel_;
    QFont buttonFont_;
    // Set by the discovery thread's report, consumed by WM_DRIVES_DISCOVERED.
    std::unique_ptr<DriveList> discovered_;
};

} // namespace zd::ui
