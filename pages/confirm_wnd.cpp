#include "confirm_wnd.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "pages/dialog_units.h"
#include "pages/gui_font.h"
#include "toolkit/control_id.h"

namespace zd::ui {

namespace {

// Every typed letter becomes upper case, as in an upper-case edit control.
class UpperCaseValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

// The drive's line takes this many dialog units above the prompt: a line of
// text and a little space; the controls below it move down by as much.
constexpr int kDriveLineRoom = 12;

// "name — path — size". The path is left out where the name shows it
// already, the size where it is unknown; a name too long for the line is cut
// short at its end, so the path and size always show whole.
QString DriveLineText(const ErasedDrive& drive, const QFontMetrics& metrics, int width)
{
    const QString separator = QStringLiteral(" \u2014 ");
    QString rest;
    if (!drive.path.isEmpty() && !drive.name.contains(drive.path))
        rest += separator + drive.path;
    if (!drive.size.isEmpty())
        rest += separator + drive.size;
    if (drive.name.isEmpty())
        return rest.mid(separator.size());
    return metrics.elidedText(drive.name, Qt::ElideRight, width - metrics.horizontalAdvance(rest)) + rest;
}

} // namespace

CConfirmWnd::CConfirmWnd(const ErasedDrive& drive, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Movan Zeza Dera"));
    // A caption and a close box; no help or size buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    // The template's font, "MS Shell Dlg" at 8 points.
    setFont(DefaultGuiFont());
    const DialogBaseUnits base = BaseUnitsOf(font());
    const auto place = [base](QWidget& control, QRect units) { control.setGeometry(DialogUnitsToPixels(units, base)); };
    // Below the drive's line, where the template puts it and lower by the line.
    const auto placeBelow = [&place](QWidget& control, QRect units) {
        place(control, units.translated(0, kDriveLineRoom));
    };
    setFixedSize(DialogUnitsToPixels({0, 0, 309, 92 + kDriveLineRoom}, base).size());

    // Template order, which is also the tab order.
    ok_ = std::make_unique<QPushButton>(QStringLiteral("OK"), this);
    SetControlId(*ok_, kIdOk);
    ok_->setDefault(true);
    ok_->setEnabled(false);
    placeBelow(*ok_, {197, 76, 50, 14});

    cancel_ = std::make_unique<QPushButton>(QStringLiteral("Cancel"), this);
    SetControlId(*cancel_, kIdCancel);
    placeBelow(*cancel_, {252, 76, 50, 14});

    explanation_ = std::make_unique<QLabel>(
        QStringLiteral("Once you enter \"CONFIRM\" in the text box and press \"OK\", The Program will erase all the "
                       "data from the selected drive and can not be recover further."),
        this);
    explanation_->setWordWrap(true);
    place(*explanation_, {7, 4, 295, 32});

    // What will be erased, from the device and so shown as it is, never as
    // markup.
    driveLine_ = std::make_unique<QLabel>(this);
    driveLine_->setTextFormat(Qt::PlainText);
    QFont bold = font();
    bold.setBold(true);
    driveLine_->setFont(bold);
    place(*driveLine_, {7, 37, 295, 8});
    driveLine_->setText(DriveLineText(drive, QFontMetrics(bold), driveLine_->width()));

    prompt_ = std::make_unique<QLabel>(QStringLiteral("Please Enter the text"), this);
    placeBelow(*prompt_, {7, 37, 69, 8});

    word_ = std::make_unique<QLabel>(QString::fromLatin1(kWord), this);
    placeBelow(*word_, {109, 39, 44, 8});

    for (QLabel* label : {explanation_.get(), driveLine_.get(), prompt_.get(), word_.get()})
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    input_ = std::make_unique<QLineEdit>(this);
    SetControlId(*input_, kInputId);
    input_->setValidator(new UpperCaseValidator(input_.get()));
    placeBelow(*input_, {108, 52, 70, 12});

    // Read-only and borderless: it reads as text on the dialog's background.
    status_ = std::make_unique<QLineEdit>(this);
    SetControlId(*status_, kStatusId);
    status_->setReadOnly(true);
    status_->setFrame(false);
    QPalette palette = status_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    status_->setPalette(palette);
    placeBelow(*status_, {189, 56, 91, 14});

    setTabOrder(ok_.get(), cancel_.get());
    setTabOrder(cancel_.get(), input_.get());
    setTabOrder(input_.get(), status_.get());

    connect(ok_.get(), &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_.get(), &QPushButton::clicked, this, &QDialog::reject);
    connect(input_.get(), &QLineEdit::textChanged, this, &CConfirmWnd::OnInputChanged);
}

CConfirmWnd::~CConfirmWnd()
{
    ok_.reset();
    cancel_.reset();
    explanation_.reset();
    driveLine_.reset();
    prompt_.reset();
    word_.reset();
    input_.reset();
    status_.reset();
}

int CConfirmWnd::DoModal() { return exec() == QDialog::Accepted ? kIdOk : kIdCancel; }

void CConfirmWnd::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The first enabled tab stop: OK starts disabled.
    cancel_->setFocus(Qt::OtherFocusReason);
}

void CConfirmWnd::OnInputChanged(const QString& text)
{
    const bool matched = text == QLatin1String(kWord);
    ok_->setEnabled(matched);
    if (matched)
        status_->setText(QStringLiteral("String MATCHED"));
    else
        status_->setText(text.isEmpty() ? QString() : QStringLiteral("String NOT MATCHED"));
}

} // namespace zd::ui
