// The home page: two picture tiles over the explanatory artwork. A click
// records the choice in the page host's physical flag and asks for the drive
// page.
#pragma once

#include <QFont>
#include <QWidget>
#include <memory>

namespace zd::ui {

class QTRN_CMovanButton;

class CHomeWnd : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPhysicalDrivesId = 2001;
    static constexpr int kLogicalDrivesId = 2002;

    CHomeWnd();
    ~CHomeWnd() override;

    // Makes the page a visible child of parent with its two tiles.
    bool Create(QWidget* parent);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    std::unique_ptr<QTRN_CMovanButton> CreateTile(int id, uint16_t imageId, const QString& name);
    void OnChoice(int32_t physicalFlag);

    std::unique_ptr<QTRN_CMovanButton> physicalDrives_;
    std::unique_ptr<QTRN_CMovanButton> logicalDrives_;
    QFont pageFont_; // the default GUI font, 20 pixels high
};

} // namespace zd::ui
