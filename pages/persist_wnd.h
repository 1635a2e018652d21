// The persistent bar along the top of the main window: the logo at the left,
// Help and Home at the right. Home is shown only while the drive page is.
#pragma once

#include <QWidget>
#include <memory>

#include "toolkit/app_message.h"

class QPushButton;

namespace zd::ui {

class CPersistWnd : public QWidget, public MessageTarget {
    Q_OBJECT

public:
    static constexpr int kHeight = 40;
    static constexpr int kHelpId = 1002;
    static constexpr int kHomeId = 1003;

    CPersistWnd();
    ~CPersistWnd() override;

    // Makes the bar a visible child of parent with its Help and Home buttons.
    bool Create(QWidget* parent);

    // WM_SHOW_HOME_BUTTON: lParam non-zero shows and enables Home, zero hides
    // and disables it.
    intptr_t HandleAppMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    QPushButton* HelpButton() const { return help_.get(); }
    QPushButton* HomeButton() const { return home_.get(); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<QPushButton> CreateIconButton(int id, const QString& caption, uint16_t iconId);
    void OnHome();
    void OnHelp();

    std::unique_ptr<QPushButton> help_;
    std::unique_ptr<QPushButton> home_;
};

} // namespace zd::ui
