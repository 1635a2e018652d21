#include "log_window.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/text.h"

namespace zd::ui {

void ShowLogWindow(QWidget* owner, const std::filesystem::path& log)
{
    auto* window = new QDialog(owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QString::fromStdU16String(PathToUtf16(log.filename())));
    auto* text = new QPlainTextEdit(window);
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QFile file(QString::fromStdU16String(PathToUtf16(log)));
    text->setPlainText(file.open(QIODevice::ReadOnly)
                           ? QString::fromUtf8(file.readAll())
                           : QStringLiteral("The log cannot be read: ") + file.errorString());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto* layout = new QVBoxLayout(window);
    layout->addWidget(text);
    layout->addWidget(buttons);
    window->resize(760, 420);
    window->show();
}

} // namespace zd::ui
