#include "drive_list_wnd.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <algorithm>

#include "discovery/drive_list.h"
#include "discovery/drive_size.h"
#include "engine/device_access.h"
#include "engine/run_log.h"
#include "engine/wipe_state.h"
#include "pages/confirm_wnd.h"
#include "pages/custom_messages.h"
#include "pages/drive_discovery.h"
#include "pages/drive_info_wnd.h"
#include "pages/drive_names.h"
#include "pages/fixed_text_qt.h"
#include "pages/gui_font.h"
#include "platform/log_directory.h"
#include "platform/system_volume.h"
#include "toolkit/active_wnd.h"
#include "toolkit/class_background.h"
#include "toolkit/control_id.h"
#include "toolkit/message_box.h"
#include "toolkit/movan_button.h"

namespace zd::ui {

namespace {

constexpr int kMethodWidth = 120;
constexpr int kMethodHeight = 15;
// From a left-column button to the right column, and from a right-column
// button to the group's edge.
constexpr int kMethodRoom = 140;
const QColor kButtonColour{5, 119, 205};
constexpr int kButtonFontHeight = 20;
constexpr int kButtonWidth = 65;
const QColor kSelectDriveColour{255, 0, 0};

struct GroupSpec {
    const char* caption;
    int y;
    int height;
};

constexpr GroupSpec kGroups[] = {
    {"Basic Algorithms", 25, 60},
    {"Advanced Algorithms (3 Pass)", 90, 100},
    {"Advanced Algorithms (7 Pass)", 195, 60},
    {"Advanced Algorithms (35 Pass)", 260, 40},
    {"Custom", 305, 85},
};

// Where each method button sits: its column (0 left, 1 right) and y.
struct MethodPlace {
    int column;
    int y;
};

constexpr MethodPlace kMethodPlaces[] = {
    {0, 45},  {1, 45},  {0, 65},                                          // 3001-3003
    {0, 110}, {1, 110}, {0, 130}, {1, 130}, {0, 150}, {1, 150}, {0, 170}, // 3004-3010
    {0, 215}, {1, 215}, {0, 235}, {1, 235},                               // 3011-3014
    {0, 280},                                                             // 3015
    {0, 325},                                                             // 3016
};

void Tell(QWidget* owner, const char* text, const char* caption, MessageIcon icon)
{
    ShowMessageBox({owner, QString::fromLatin1(text), QString::fromLatin1(caption), icon, MessageButtons::Ok});
}

constexpr const char* kOperatingSystemWarning =
    "You can not wipe this volume. This volume contains Operating System. Please choose another volume.";

QString UnknownSystemText(const std::string& why)
{
    return QStringLiteral("The drive of the running system cannot be determined (%1), so any drive may hold it.")
        .arg(QString::fromStdString(why));
}

} // namespace

CDriveListWnd::CDriveListWnd(const WizardOptions& options) : options_(options) {}

CDriveListWnd::~CDriveListWnd()
{
    combo_.reset();
    unknownSystemLine_.reset();
    chooseLabel_.reset();
    customHint_.reset();
    for (auto& group : groups_)
        group.reset();
    for (auto& method : methods_)
        method.reset();
    customEdit_.reset();
    next_.reset();
    back_.reset();
    infoPanel_.reset();
}

bool CDriveListWnd::Create(CActiveWnd* host)
{
    setParent(host);
    SetClassBackground(*this, Qt::white);
    setFont(DefaultGuiFont());
    if (!CreateControls())
        return false;
    g_wipeSelection.Create();
    StartDriveDiscovery(host && host->PhysicalFlag() != 0, options_.driveSource, this,
                        [this](DriveList& discovered) { AdoptDiscoveredDrives(discovered); });
    show();
    return true;
}

bool CDriveListWnd::CreateControls()
{
    QFont arial = DefaultGuiFont();
    arial.setFamily(QStringLiteral("Arial"));
    arial.setWeight(QFont::ExtraBold);
    buttonFont_ = WithCellHeight(arial, kButtonFontHeight);

    combo_ = std::make_unique<QComboBox>(this);
    SetControlId(*combo_, kDriveComboId);
    // An edit field whose text is never read: typing adds no item.
    combo_->setEditable(true);
    combo_->setInsertPolicy(QComboBox::NoInsert);
    connect(combo_.get(), &QComboBox::currentIndexChanged, this, &CDriveListWnd::OnSelectionChange);

    if (const auto& unknown = systemDrives_.Unknown()) {
        unknownSystemLine_ = std::make_unique<QLabel>(UnknownSystemText(*unknown), this);
        unknownSystemLine_->setTextFormat(Qt::PlainText);
        unknownSystemLine_->setWordWrap(true);
        QPalette palette = unknownSystemLine_->palette();
        palette.setColor(QPalette::WindowText, kSelectDriveColour);
        unknownSystemLine_->setPalette(palette);
    }

    chooseLabel_ = std::make_unique<QLabel>(QStringLiteral("Choose your option:"), this);
    SetControlId(*chooseLabel_, kChooseLabelId);
    chooseLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Siblings of one parent: checking one unchecks the other fifteen.
    for (int i = 0; i < kMethodCount; ++i) {
        const OverwriteMethod& method = kOverwriteMethods[static_cast<std::size_t>(i)];
        auto button = std::make_unique<QRadioButton>(QString::fromUtf8(method.name.data(), method.name.size()), this);
        SetControlId(*button, method.buttonId);
        connect(button.get(), &QRadioButton::clicked, this, [this, id = method.buttonId] { OnMethod(id); });
        methods_[static_cast<std::size_t>(i)] = std::move(button);
    }
    methods_[0]->setChecked(true);

    for (int i = 0; i < kGroupCount; ++i) {
        auto group = std::make_unique<QGroupBox>(QString::fromLatin1(kGroups[i].caption), this);
        SetControlId(*group, kFirstGroupId + i);
        // A frame drawn around the buttons, never in front of them.
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        group->lower();
        groups_[static_cast<std::size_t>(i)] = std::move(group);
    }

    customHint_ = std::make_unique<QLabel>(QStringLiteral("Enter your string of 8 characters (ex- MAC2#WIP*)"), this);
    SetControlId(*customHint_, kCustomHintId);
    customHint_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    customHint_->setEnabled(false);

    customEdit_ = std::make_unique<QLineEdit>(this);
    SetControlId(*customEdit_, kCustomEditId);
    customEdit_->setEnabled(false);
    customEdit_->setMaxLength(kCustomLength);

    next_ = CreateImageButton(kNextId, QStringLiteral("Next"));
    back_ = CreateImageButton(kBackId, QStringLiteral("Back"));
    connect(next_.get(), &QAbstractButton::clicked, this, &CDriveListWnd::OnNext);
    connect(back_.get(), &QAbstractButton::clicked, this, &CDriveListWnd::OnBack);

    infoPanel_ = std::make_unique<CDriveInfoWnd>();
    return infoPanel_->Create(this);
}

std::unique_ptr<QTRN_CMovanButton> CDriveListWnd::CreateImageButton(int id, const QString& caption)
{
    auto button = std::make_unique<QTRN_CMovanButton>(this);
    SetControlId(*button, id);
    button->setText(caption);
    button->SetCaptionFont(&buttonFont_);
    button->SetImageFlag(true);
    button->SetImageId(0);
    button->SetImageLayout(0);
    button->SetNormalColour(kButtonColour);
    button->SetHoverColourChoice(false);
    button->SetTextColour(Qt::white);
    return button;
}

void CDriveListWnd::resizeEvent(QResizeEvent*)
{
    const int w = width();
    const int h = height();
    combo_->setGeometry(10, 30, w / 2 - 20, 25);
    if (unknownSystemLine_)
        unknownSystemLine_->setGeometry(10, 58, w / 2 - 20, 40);
    infoPanel_->setGeometry(0, 100, w / 2 - 20, h - 100);
    chooseLabel_->setGeometry(w - 300, 10, 150, 20);
    for (int i = 0; i < kGroupCount; ++i)
        groups_[static_cast<std::size_t>(i)]->setGeometry(w - 300, kGroups[i].y, 290, kGroups[i].height);
    for (int i = 0; i < kMethodCount; ++i) {
        QRadioButton& method = *methods_[static_cast<std::size_t>(i)];
        const MethodPlace place = kMethodPlaces[i];
        // 120 pixels hold every caption in Tahoma; a wider face gets what the
        // caption needs, as far as the next column.
        const int width = std::clamp(method.sizeHint().width(), kMethodWidth, kMethodRoom);
        method.setGeometry(place.column == 0 ? w - 290 : w - 150, place.y, width, kMethodHeight);
    }
    customHint_->setGeometry(w - 290, 345, 270, 15);
    customEdit_->setGeometry(w - 290, 365, 100, 18);
    // 65 wide, or as wide as a caption needs in the font at hand; Next keeps
    // its right edge and Back its distance from Next.
    const int nextWidth = std::max(kButtonWidth, next_->sizeHint().width());
    const int backWidth = std::max(kButtonWidth, back_->sizeHint().width());
    next_->setGeometry(w - 10 - nextWidth, h - 35, nextWidth, 28);
    back_->setGeometry(w - 15 - nextWidth - backWidth, h - 35, backWidth, 28);
}

void CDriveListWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(kSelectDriveColour);
    painter.drawText(QRect(10, 10, width() / 2 - 20, 20), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Select a drive:"));
}

void CDriveListWnd::AdoptDiscoveredDrives(DriveList& discovered)
{
    discovered_ = std::make_unique<DriveList>(std::move(discovered));
    SendAppMessage(this, WM_DRIVES_DISCOVERED);
}

intptr_t CDriveListWnd::HandleAppMessage(uint32_t message, uintptr_t, intptr_t)
{
    if (message != WM_DRIVES_DISCOVERED)
        return 0;
    if (discovered_) {
        // This visit's list; the page host clears it when the visit ends.
        g_driveList = std::move(*discovered_);
        discovered_.reset();
    }
    FillDriveCombo();
    return 0;
}

void CDriveListWnd::FillDriveCombo()
{
    {
        const QSignalBlocker quiet(combo_.get());
        combo_->clear();
        for (std::size_t i = 0; i < g_driveList.size(); ++i)
            combo_->addItem(ListedName(g_driveList.at(i)), QVariant::fromValue(static_cast<qulonglong>(i)));
        combo_->setCurrentIndex(g_driveList.empty() ? -1 : 0);
    }
    if (!g_driveList.empty())
        SendAppMessage(infoPanel_.get(), WM_SHOW_DRIVE_INFO, reinterpret_cast<uintptr_t>(&g_driveList.at(0)), 1);
}

void CDriveListWnd::OnSelectionChange(int index)
{
    if (index < 0)
        return;
    const auto entry = combo_->itemData(index).toULongLong();
    if (entry < g_driveList.size())
        SendAppMessage(infoPanel_.get(), WM_SHOW_DRIVE_INFO, reinterpret_cast<uintptr_t>(&g_driveList.at(entry)), 1);
}

void CDriveListWnd::OnMethod(int buttonId)
{
    WipeSelection* selection = g_wipeSelection.get();
    if (!selection)
        return;
    const std::optional<bool> custom = SelectMethod(*selection, buttonId);
    if (!custom)
        return;
    customHint_->setEnabled(*custom);
    customEdit_->setEnabled(*custom);
}

int CDriveListWnd::CheckedMethodId() const
{
    for (const auto& method : methods_)
        if (method->isChecked())
            return ControlId(*method);
    return 0;
}

std::optional<std::u16string> CDriveListWnd::ChosenOpenName(const DriveEntry& entry)
{
    WipeSelection& selection = *g_wipeSelection.get();
    const std::u16string caption(FixedTextView(entry.caption));
    const bool physical = entry.entryKind == kEntryPhysicalDisk;
    const std::u16string openName = physical ? std::u16string(FixedTextView(entry.deviceName)) : caption;
    // Neither the volume of the running system nor a disk beneath it.
    const bool system = (!physical && systemDrives_.IsOperatingSystemVolume(caption)) ||
                        systemDrives_.Holds(std::filesystem::path(Utf16ToUtf8(openName)));
    if (system) {
        Tell(this, kOperatingSystemWarning, "Warning", MessageIcon::Warning);
        return std::nullopt;
    }
    g_runLog.logDriveName = physical ? caption : platform::VolumeLogName(caption);
    g_runLog.logAlgorithmName = std::u16string(FixedTextView(selection.algorithmName));
    selection.driveName = physical ? entry.caption : entry.displayName;
    return openName;
}

void CDriveListWnd::OnNext()
{
    WipeSelection* selection = g_wipeSelection.get();
    const int index = combo_->currentIndex();
    const auto entry = index < 0 ? g_driveList.size() : combo_->itemData(index).toULongLong();
    if (!selection || entry >= g_driveList.size()) {
        Tell(this, "Please select a drive.", "Information", MessageIcon::Information);
        return;
    }
    const std::optional<std::u16string> openName = ChosenOpenName(g_driveList.at(entry));
    if (!openName)
        return;
    if (CheckedMethodId() == kCustomMethodButtonId) {
        const QString text = customEdit_->text();
        if (text.size() < kCustomLength) {
            Tell(this, "Entered string is less than 8 characters.", "Information", MessageIcon::Information);
            return;
        }
        selection->customString = text.toStdU16String();
    }

    auto record = std::make_unique<DeviceRecord>();
    if (!OpenDevice(*record, std::filesystem::path(Utf16ToUtf8(*openName))))
        return;
    // What the list showed is what the run checks for before its first write.
    if (const platform::DeviceIdentity& shown = g_driveList.at(entry).identity; !shown.devicePath.empty())
        record->confirmedIdentity = shown;
    WarnOfUnknownSystem();
    // The run goes on without a log, but the user learns it before confirming.
    const RunLog log(options_.logDirectory.empty() ? platform::LogDirectory() : options_.logDirectory,
                     g_runLog.logDriveName, {});
    if (std::string why; !CanCreateRunLog(log, &why))
        ShowMessageBox({this,
                        QStringLiteral("The run log cannot be created in %1 (%2). The wipe will leave no record.")
                            .arg(QString::fromStdU16String(PathToUtf16(log.directory)), QString::fromStdString(why)),
                        QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::Ok});
    int answer = CConfirmWnd::kIdCancel;
    {
        // Gone before the page can be.
        CConfirmWnd confirm({EntryName(g_driveList.at(entry)),
                             QString::fromStdU16String(record->devicePath.u16string()),
                             ToQString(FormatDriveSize(record->sectorCount * kSectorBytes))},
                            this);
        answer = confirm.DoModal();
    }
    if (answer != CConfirmWnd::kIdOk) {
        CloseDevice(record);
        return;
    }
    CreateWipeJob(std::move(record), *selection);
    // The page host destroys this page while handling the message.
    SendAppMessage(parentWidget(), WM_SHOW_PROGRESS_PAGE);
}

void CDriveListWnd::WarnOfUnknownSystem()
{
    const auto& unknown = systemDrives_.Unknown();
    if (!unknown)
        return;
    ShowMessageBox({this, UnknownSystemText(*unknown) + QStringLiteral(" Make sure that this is not it."),
                    QStringLiteral("Warning"), MessageIcon::Warning, MessageButtons::Ok});
}

void CDriveListWnd::OnBack()
{
    // The page host destroys this page while handling the message.
    SendAppMessage(parentWidget(), WM_SHOW_HOME_PAGE);
}

} // namespace zd::ui
