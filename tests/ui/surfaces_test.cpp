#include "ui/detail_frame.h"
#include "ui/full_screen_form.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kiv::ui {
namespace {

using test::App;

// Requests the surfaces made, by name.
struct TRequests {
    std::vector<std::string> Made;
    std::function<void()> Of(const char* name) {
        return [this, name] { Made.push_back(name); };
    }
    std::vector<std::string> Drain() { return std::exchange(Made, {}); }
};

TEST(DetailFrame, LaysThePictureOutForEachMode) {
    App();
    struct TCase {
        int FrameW, FrameH, PicW, PicH;
        TDisplayMode Mode;
        QRect Image;
        int Zoom;
        bool HBar, VBar;
    };
    const TCase cases[] = {
        {500, 500, 500, 500, dmAdaptive, {0, 0, 500, 500}, 100, false, false},
        {500, 500, 501, 500, dmAdaptive, {2, 2, 495, 495}, 99, false, false},
        {500, 500, 500, 501, dmAdaptive, {2, 2, 495, 495}, 99, false, false},
        {500, 500, 200, 100, dmAdaptive, {150, 200, 200, 100}, 100, false, false},
        {500, 500, 1024, 768, dmAdaptive, {4, 66, 491, 368}, 48, false, false},
        {500, 500, 500, 300, dmOriginal, {0, 100, 500, 300}, 100, true, false},
        {500, 500, 200, 700, dmOriginal, {150, 0, 200, 700}, 100, false, true},
        {500, 500, 200, 100, dmOriginal, {150, 200, 200, 100}, 100, false, false},
    };
    for (const TCase& c : cases) {
        TDetailFrame frame(nullptr);
        frame.resize(c.FrameW, c.FrameH);
        frame.show();
        frame.SetPicture(c.PicW, c.PicH, c.Mode);
        const QString what = QString("%1x%2 in %3x%4 mode %5")
                                 .arg(c.PicW)
                                 .arg(c.PicH)
                                 .arg(c.FrameW)
                                 .arg(c.FrameH)
                                 .arg(c.Mode);
        EXPECT_EQ(frame.imgPic()->geometry(), c.Image) << what.toStdString();
        EXPECT_EQ(frame.imgPic()->Bitmap().size(), c.Image.size()) << what.toStdString();
        EXPECT_EQ(frame.Zoom(), c.Zoom) << what.toStdString();
        EXPECT_EQ(frame.horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, c.HBar)
            << what.toStdString();
        EXPECT_EQ(frame.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, c.VBar)
            << what.toStdString();
    }
}

TEST(DetailFrame, ActualSizeScrollsOverTheWholePictureFromItsStart) {
    App();
    TDetailFrame frame(nullptr);
    frame.resize(500, 500);
    frame.show();
    frame.SetPicture(800, 700, dmOriginal);
    frame.horizontalScrollBar()->setValue(100);
    frame.SetPicture(800, 700, dmOriginal);
    const QSize view = frame.viewport()->size();
    EXPECT_LT(view.width(), 500);
    EXPECT_EQ(frame.horizontalScrollBar()->maximum(), 800 - view.width());
    EXPECT_EQ(frame.verticalScrollBar()->maximum(), 700 - view.height());
    EXPECT_EQ(frame.horizontalScrollBar()->value(), 0);
    // Back to fitting: nothing left to scroll.
    frame.SetPicture(800, 700, dmAdaptive);
    EXPECT_EQ(frame.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(frame.verticalScrollBar()->maximum(), 0);
}

TEST(DetailFrame, ResizingLaysOutAndAsksForTheWholePicture) {
    App();
    TRequests r;
    TDetailFrame frame(nullptr);
    frame.OnResized = r.Of("refresh");
    frame.OnDblClick = r.Of("full screen");
    frame.resize(500, 500);
    frame.show();
    frame.SetPicture(1024, 768, dmAdaptive);
    r.Drain();
    frame.resize(1024, 768);
    EXPECT_EQ(frame.Zoom(), 100);
    EXPECT_EQ(r.Drain(), std::vector<std::string>{"refresh"});
    QTest::mouseDClick(frame.imgPic(), Qt::LeftButton);
    EXPECT_EQ(r.Drain(), std::vector<std::string>{"full screen"});
}

TEST(FullScreen, EachLeaveGestureAsksOnceAndOtherKeysNothing) {
    App();
    struct TCase {
        const char* Name;
        std::function<void(TfrmFullScreen&)> Do;
        size_t Requests;
    };
    const TCase cases[] = {
        {"Esc", [](TfrmFullScreen& f) { QTest::keyRelease(&f, Qt::Key_Escape); }, 1},
        {"F7", [](TfrmFullScreen& f) { QTest::keyRelease(&f, Qt::Key_F7); }, 1},
        {"A", [](TfrmFullScreen& f) { QTest::keyRelease(&f, Qt::Key_A); }, 0},
        {"Esc pressed", [](TfrmFullScreen& f) { QTest::keyPress(&f, Qt::Key_Escape); }, 0},
        {"right up",
         [](TfrmFullScreen& f) {
             QTest::mousePress(f.imgPic(), Qt::RightButton);
             QTest::mouseRelease(f.imgPic(), Qt::RightButton);
         },
         1},
        {"left up", [](TfrmFullScreen& f) { QTest::mouseClick(f.imgPic(), Qt::LeftButton); }, 0},
        {"double click", [](TfrmFullScreen& f) { QTest::mouseDClick(f.imgPic(), Qt::LeftButton); },
         1},
    };
    for (const TCase& c : cases) {
        TRequests r;
        TfrmFullScreen form;
        form.setAttribute(Qt::WA_DeleteOnClose, false);
        form.OnLeave = r.Of("leave");
        form.SetPicture(200, 100);
        form.show();
        c.Do(form);
        EXPECT_EQ(r.Drain().size(), c.Requests) << c.Name;
    }
}

TEST(FullScreen, CentresByTruncationAndCropsALargerPicture) {
    App();
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const QSize pictures[] = {{201, 101}, screen + QSize(301, 201)};
    for (const QSize& p : pictures) {
        TfrmFullScreen form;
        form.SetPicture(p.width(), p.height());
        EXPECT_EQ(form.imgPic()->geometry(),
                  QRect((screen.width() - p.width()) / 2, (screen.height() - p.height()) / 2,
                        p.width(), p.height()));
        EXPECT_EQ(form.imgPic()->Bitmap().size(), p);
    }
}

TEST(ImagePic, PaintsEachRectangleWithTheBitmapsColours) {
    App();
    QWidget parent;
    TImagePic pic(&parent);
    pic.resize(37, 23); // odd widths reach the row ends of every copy path
    pic.SizeBitmap();
    TPixels px = pic.Pixels();
    uint32_t seed = 12345;
    for (int32_t y = 0; y < px.Height; ++y)
        for (int32_t x = 0; x < 3 * px.Width; ++x)
            px.Bits[y * px.Stride + x] =
                static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    for (const QRect r : {QRect(0, 0, 37, 23), QRect(5, 3, 1, 1), QRect(30, 10, 7, 13)}) {
        const QImage shown = pic.grab(r).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage want = pic.Bitmap().copy(r).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown, want) << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
    }
}

} // namespace
} // namespace kiv::ui
