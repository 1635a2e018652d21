// PNG resources, the image button's drawing and mouse handling, and message
// boxes answered from any thread.
#include <QEventLoop>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <thread>

#include "gui_test_support.h"
#include "toolkit/movan_button.h"
#include "toolkit/png_image.h"
#include "toolkit/resources.h"

using namespace zd::ui;
using namespace zd::ui::test;

namespace {

const QColor kNextBlue(5, 119, 205);
const QColor kWhite(255, 255, 255);

// Columns and rows that hold a colour other than the fill.
QRect InkBounds(const QImage& image, const QColor& fill)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) != fill)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// A blue text button as the drive and progress pages make them.
struct TextButton {
    explicit TextButton(const QString& caption, int width = 100, int height = 32)
    {
        font.setPixelSize(16);
        button.setText(caption);
        button.SetCaptionFont(&font);
        button.SetImageFlag(true);
        button.SetNormalColour(kNextBlue);
        button.SetHoverColourChoice(false);
        button.SetTextColour(kWhite);
        button.resize(width, height);
    }

    QFont font;
    QTRN_CMovanButton button;
};

// A white picture tile as the home page makes them.
struct Tile {
    explicit Tile(uint16_t imageId, uint8_t layout = QTRN_CMovanButton::kImageTopLeft, int width = 200)
    {
        button.SetImageFlag(true);
        button.SetImageId(imageId);
        button.SetImageLayout(layout);
        button.SetNormalColour(kWhite);
        button.SetHoverColourChoice(true);
        button.resize(width, 160);
    }

    QTRN_CMovanButton button;
};

// A pixel of the picture that is fully opaque, one that is fully clear.
QPoint FindPixel(const QImage& image, int alpha)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() == alpha)
                return QPoint(x, y);
        }
    }
    return QPoint(-1, -1);
}

} // namespace

class ToolkitTest : public QObject {
    Q_OBJECT

private slots:
    void loadingAnIdWithoutPngResourceFailsAndLeavesTheObjectEmpty()
    {
        QTRN_GDIWithPNG png;
        QVERIFY(!png.Load(0));
        QVERIFY(png.Bitmap() == nullptr);
        QVERIFY(!png.Load(kBitmapLogo)); // a bitmap, not a PNG resource
        QVERIFY(png.Bitmap() == nullptr);
    }

    void loadedImagesHaveTheSizesAndColourTypesOfTheArtworkTable_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("alpha");
        QTest::newRow("326 logical drives") << int(kPngLogicalDrives) << QSize(200, 150) << true;
        QTest::newRow("327 physical drives") << int(kPngPhysicalDrives) << QSize(200, 150) << true;
        QTest::newRow("334 home background") << int(kPngHomeBackground) << QSize(644, 442) << false;
        QTest::newRow("335 picture panel") << int(kPngPicturePanel) << QSize(300, 442) << false;
    }

    void loadedImagesHaveTheSizesAndColourTypesOfTheArtworkTable()
    {
        QFETCH(int, id);
        QFETCH(QSize, size);
        QFETCH(bool, alpha);
        QTRN_GDIWithPNG png;
        QVERIFY(png.Load(static_cast<uint16_t>(id)));
        QVERIFY(png.Bitmap() != nullptr);
        QCOMPARE(png.Bitmap()->size(), size);
        QCOMPARE(png.Bitmap()->hasAlphaChannel(), alpha);
    }

    void aReloadReplacesTheImageAndAFailedOneEmptiesTheObject()
    {
        QTRN_GDIWithPNG png;
        QVERIFY(png.Load(kPngLogicalDrives));
        QVERIFY(png.Load(kPngHomeBackground));
        QCOMPARE(png.Bitmap()->size(), QSize(644, 442));
        QVERIFY(!png.Load(0));
        QVERIFY(png.Bitmap() == nullptr);
    }

    void theBitmapAndTheIconGroupsHaveTheirSizes()
    {
        const QImage logo = LoadBitmapResource(kBitmapLogo);
        QCOMPARE(logo.size(), QSize(184, 40));
        QVERIFY(!logo.hasAlphaChannel());
        QCOMPARE(LoadIconResource(kIconApplication).availableSizes().size(), 9);
        QCOMPARE(LoadIconResource(kIconHelp).availableSizes().size(), 5);
        QCOMPARE(LoadIconResource(kIconHome).availableSizes().size(), 5);
        QVERIFY(LoadIconResource(kIconApplication).availableSizes().contains(QSize(256, 256)));
        QVERIFY(LoadIconResource(kIconApplication).availableSizes().contains(QSize(16, 16)));
        QVERIFY(LoadIconResource(999).isNull());
    }

    void theOpaqueRouteCopiesThePictureAtItsOwnSizeAndNothingElse()
    {
        QImage canvas(320, 460, QImage::Format_RGB32);
        canvas.fill(Qt::blue);
        {
            QPainter painter(&canvas);
            PaintOpaquePng(painter, kPngPicturePanel);
            PaintOpaquePng(painter, 0); // draws nothing
        }
        QTRN_GDIWithPNG png;
        QVERIFY(png.Load(kPngPicturePanel));
        const QImage picture = png.Bitmap()->convertToFormat(QImage::Format_RGB32);
        QCOMPARE(canvas.copy(0, 0, 300, 442), picture);
        QCOMPARE(canvas.pixelColor(310, 10), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(10, 450), QColor(Qt::blue));
    }

    void aTextButtonIsBlueAndTurnsDarkGreyWithAHandCursorUnderTheMouse()
    {
        TextButton next(QStringLiteral("Next"));
        QCOMPARE(Render(next.button).pixelColor(1, 1), kNextBlue);
        QCOMPARE(next.button.cursor().shape(), Qt::ArrowCursor);

        MoveMouseInto(next.button);
        QVERIFY(next.button.IsHovered());
        QCOMPARE(Render(next.button).pixelColor(1, 1), QColor(45, 45, 45));
        QCOMPARE(next.button.cursor().shape(), Qt::PointingHandCursor);

        MoveMouseOut(next.button);
        QVERIFY(!next.button.IsHovered());
        QVERIFY(!next.button.IsTracking());
        QCOMPARE(Render(next.button).pixelColor(1, 1), kNextBlue);
        QCOMPARE(next.button.cursor().shape(), Qt::ArrowCursor);
    }

    void aMouseMoveAfterALeaveArmsTheHoverAgain()
    {
        TextButton next(QStringLiteral("Next"));
        MoveMouseInto(next.button);
        MoveMouseOut(next.button);
        QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), next.button.mapToGlobal(QPointF(10, 10)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&next.button, &move);
        QVERIFY(next.button.IsTracking());
        QCOMPARE(Render(next.button).pixelColor(1, 1), QColor(45, 45, 45));
    }

    void theCaptionIsCentredByIntegerArithmeticInTheTextColour()
    {
        TextButton next(QStringLiteral("Next"), 101, 33);
        const QImage image = Render(next.button);
        const QRect ink = InkBounds(image, kNextBlue);
        const QFontMetrics metrics(next.font);
        const int x = 101 / 2 - metrics.horizontalAdvance(QStringLiteral("Next")) / 2;
        const int y = 33 / 2 - metrics.height() / 2;
        QVERIFY2(ink.left() >= x && ink.right() < x + metrics.horizontalAdvance(QStringLiteral("Next")) + 1,
                 qPrintable(QStringLiteral("ink %1..%2, caption from %3").arg(ink.left()).arg(ink.right()).arg(x)));
        QVERIFY(ink.top() >= y && ink.bottom() < y + metrics.height());
        bool white = false;
        for (int px = ink.left(); px <= ink.right() && !white; ++px) {
            for (int py = ink.top(); py <= ink.bottom() && !white; ++py)
                white = image.pixelColor(px, py) == kWhite;
        }
        QVERIFY(white);
    }

    void withoutTheImageFlagTheCaptionIsDrawnInRgb200()
    {
        QTRN_CMovanButton button;
        QFont font;
        font.setPixelSize(28);
        font.setBold(true);
        button.SetCaptionFont(&font);
        button.setText(QStringLiteral("HHH"));
        button.SetNormalColour(kWhite);
        button.resize(120, 40);
        const QImage image = Render(button);
        bool captionColour = false;
        bool black = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                captionColour = captionColour || image.pixelColor(x, y) == QColor(2, 0, 0);
                black = black || image.pixelColor(x, y) == QColor(0, 0, 0);
            }
        }
        QVERIFY(captionColour);
        QVERIFY(!black);
    }

    void pressedTheFillIsInsetInAFlatFrameAndTheCaptionStays()
    {
        TextButton next(QStringLiteral("Next"));
        const QRect normalInk = InkBounds(Render(next.button), kNextBlue);
        next.button.setDown(true);
        const QImage pressed = Render(next.button);
        QCOMPARE(pressed.pixelColor(0, 0), QColor(0, 0, 0));
        QCOMPARE(pressed.pixelColor(50, 0), QColor(0, 0, 0));
        QCOMPARE(pressed.pixelColor(99, 31), QColor(0, 0, 0));
        for (int inset = 1; inset < 4; ++inset)
            QCOMPARE(pressed.pixelColor(inset, inset), kWhite);
        QCOMPARE(pressed.pixelColor(4, 4), kNextBlue);
        QCOMPARE(pressed.pixelColor(95, 27), kNextBlue);
        QCOMPARE(pressed.pixelColor(96, 28), kWhite);

        QImage caption = pressed.copy(4, 4, 92, 24);
        QCOMPARE(InkBounds(caption, kNextBlue).translated(4, 4), normalInk);
    }

    void imageLayoutsMoveTheCaptionByAFifthOfTheWidthAndTheFirstSetBitWins_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("shift");
        QTest::newRow("none") << 0 << 0;
        QTest::newRow("1 top-left") << 1 << 0;
        QTest::newRow("2 right") << 2 << -20;
        QTest::newRow("4 left") << 4 << 20;
        QTest::newRow("2 before 4 and 1") << 7 << -20;
        QTest::newRow("4 before 1") << 5 << 20;
    }

    void imageLayoutsMoveTheCaptionByAFifthOfTheWidthAndTheFirstSetBitWins()
    {
        QFETCH(int, layout);
        QFETCH(int, shift);
        TextButton plain(QStringLiteral("Go"));
        TextButton laidOut(QStringLiteral("Go"));
        laidOut.button.SetImageLayout(static_cast<uint8_t>(layout));
        const QRect plainInk = InkBounds(Render(plain.button), kNextBlue);
        QCOMPARE(InkBounds(Render(laidOut.button), kNextBlue), plainInk.translated(shift, 0));
    }

    void aTileShowsItsPictureAtTheTopLeftOverAWhiteFillThatTurnsLightBlue()
    {
        Tile tile(kPngPhysicalDrives);
        QTRN_GDIWithPNG png;
        QVERIFY(png.Load(kPngPhysicalDrives));
        const QPoint opaque = FindPixel(*png.Bitmap(), 255);
        const QPoint clear = FindPixel(*png.Bitmap(), 0);
        QVERIFY(opaque.x() >= 0 && clear.x() >= 0);

        const QImage normal = Render(tile.button);
        QCOMPARE(normal.pixelColor(opaque), png.Bitmap()->pixelColor(opaque));
        QCOMPARE(normal.pixelColor(clear), kWhite);
        for (int y = 150; y < 160; ++y) // the strip below the picture
            QCOMPARE(normal.pixelColor(100, y), kWhite);

        MoveMouseInto(tile.button);
        const QImage hovered = Render(tile.button);
        QCOMPARE(hovered.pixelColor(clear), QColor(147, 215, 250));
        QCOMPARE(hovered.pixelColor(100, 155), QColor(147, 215, 250));
        QCOMPARE(hovered.pixelColor(opaque), png.Bitmap()->pixelColor(opaque));
    }

    void layoutTwoAlignsThePictureToTheRightEdge()
    {
        Tile tile(kPngLogicalDrives, QTRN_CMovanButton::kImageRight, 300);
        QTRN_GDIWithPNG png;
        QVERIFY(png.Load(kPngLogicalDrives));
        const QPoint opaque = FindPixel(*png.Bitmap(), 255);
        const QImage image = Render(tile.button);
        QCOMPARE(image.pixelColor(opaque + QPoint(100, 0)), png.Bitmap()->pixelColor(opaque));
        QCOMPARE(image.pixelColor(50, 75), kWhite); // left of the picture
    }

    void aButtonWhosePictureIsMissingDrawsOnlyItsFillAndCaption()
    {
        Tile tile(0);
        QVERIFY(InkBounds(Render(tile.button), kWhite).isEmpty());
        tile.button.setText(QStringLiteral("Back"));
        tile.button.setFont(QFont());
        QVERIFY(!InkBounds(Render(tile.button), kWhite).isEmpty());
    }

    void aClickIsReportedLikeAnyPushButtons()
    {
        TextButton next(QStringLiteral("Next"));
        int clicks = 0;
        connect(&next.button, &QAbstractButton::clicked, this, [&] { ++clicks; });
        QTest::mouseClick(&next.button, Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(clicks, 1);
    }

    void aMessageBoxAskedFromAWorkerThreadIsAnsweredOnTheGuiThread()
    {
        MessageBoxRecorder recorder(MessageAnswer::Yes);
        bool onGuiThread = false;
        SetMessageBoxHook([&](const MessageBoxRequest& request) {
            onGuiThread = QThread::currentThread() == qApp->thread();
            recorder.requests.push_back(request);
            return MessageAnswer::Yes;
        });
        QEventLoop loop;
        MessageAnswer answer = MessageAnswer::Ok;
        std::thread worker([&] {
            answer = ShowMessageBox({nullptr, QStringLiteral("Are you sure? "), QStringLiteral("Warning"),
                                     MessageIcon::Warning, MessageButtons::YesNo});
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
        QVERIFY(onGuiThread);
        QCOMPARE(answer, MessageAnswer::Yes);
        QCOMPARE(recorder.requests.size(), std::size_t{1});
        QCOMPARE(recorder.requests[0].text, QStringLiteral("Are you sure? "));
        QCOMPARE(recorder.requests[0].buttons, MessageButtons::YesNo);
    }
};

QTEST_MAIN(ToolkitTest)
#include "toolkit_test.moc"
