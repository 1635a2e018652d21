// The confirmation dialog: the last barrier before a wipe. It names the
// drive to be erased, and OK is enabled only while the input box holds
// exactly "CONFIRM".
#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zd::ui {

// The drive the dialog names as the one to be erased.
struct ErasedDrive {
    QString name; // as the drive list names it
    QString path; // of the device that was opened
    QString size; // in the drive list's units
};

class CConfirmWnd : public QDialog {
    Q_OBJECT

public:
    // Modal results.
    static constexpr int kIdOk = 1;
    static constexpr int kIdCancel = 2;
    // Control ids of the dialog template.
    static constexpr int kInputId = 1001;
    static constexpr int kStatusId = 1004;

    static constexpr const char* kWord = "CONFIRM";

    explicit CConfirmWnd(const ErasedDrive& drive, QWidget* parent = nullptr);
    ~CConfirmWnd() override;

    // Runs the dialog modally: kIdOk when the user pressed OK on the matched
    // word, kIdCancel for Cancel, Escape or the close box.
    int DoModal();

    QLineEdit* InputBox() const { return input_.get(); }
    QLineEdit* StatusBox() const { return status_.get(); }
    QPushButton* OkButton() const { return ok_.get(); }
    QPushButton* CancelButton() const { return cancel_.get(); }
    // "name — path — size", above the prompt.
    QLabel* DriveLine() const { return driveLine_.get(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInputChanged(const QString& text);

    std::unique_ptr<QPushButton> ok_;
    std::unique_ptr<QPushButton> cancel_;
    std::unique_ptr<QLabel> explanation_;
    std::unique_ptr<QLabel> driveLine_;
    std::unique_ptr<QLabel> prompt_;
    std::unique_ptr<QLabel> word_;
    std::unique_ptr<QLineEdit> input_;
    std::unique_ptr<QLineEdit> status_;
};

} // namespace zd::ui
