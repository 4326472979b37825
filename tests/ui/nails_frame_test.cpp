// The thumbnail strip as a widget: placement, highlight, clicks, pictures.
#include "nails/nail_file.h"
#include "support/log_capture.h"
#include "support/nginx.h"
#include "ui/nails_frame.h"
#include "ui/ui_app.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QVBoxLayout>

#include <filesystem>
#include <vector>

namespace kiv::ui {
namespace {

using test::App;

class NailsFrameTest : public ::testing::Test {
protected:
    NailsFrameTest() {
        App();
        auto* layout = new QVBoxLayout(&Parent);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        layout->addWidget(new QWidget, 1);
        Frame = new TNailsFrame(&Parent);
        Frame->setFixedHeight(63);
        layout->addWidget(Frame);
        Frame->OnSkip = [this](int32_t s) { Skips.push_back(s); };
        std::filesystem::create_directory(Dir.File("nails"));
        Picture = Dir.File("nails/p.jpg");
        QImage image(96, 54, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.save(QString::fromStdString(Picture), "JPEG");
        PictureBytes = Read("p.jpg");
        Parent.show();
    }
    // Resizes the control around the strip (width of the strip).
    void Width(int w) {
        Parent.resize(w, 300);
        Parent.layout()->activate();
    }
    void Add(const std::vector<int32_t>& seconds) {
        for (int32_t s : seconds)
            Frame->AddNail(Picture, s, PictureBytes);
    }
    // A picture of the folder's "nails", as the creator reads it.
    TThumbnailPicture Read(const std::string& name) const {
        return ReadNailPicture(Dir.Path() + "/", name);
    }
    template <class T = QWidget> T* Child(const std::string& name) const {
        return Frame->findChild<T*>(QString::fromStdString(name));
    }
    std::string Colour(int i) const {
        return Child<QLabel>("nailTime" + std::to_string(i))
            ->palette()
            .color(QPalette::WindowText)
            .name()
            .toStdString();
    }
    // Which cells show as current: the outline, green bold time.
    std::vector<int> Highlighted() const {
        std::vector<int> out;
        for (int i = 0; i < Frame->NailCount(); ++i) {
            const bool outline = !Child("nailFrame" + std::to_string(i))->isHidden();
            const bool bold = Child<QLabel>("nailTime" + std::to_string(i))->font().bold();
            const std::string c = Colour(i);
            EXPECT_EQ(outline, bold) << i;
            EXPECT_EQ(c, outline ? "#00ff00" : "#ffff00") << i;
            if (outline) out.push_back(i);
        }
        return out;
    }
    int BarWidth() const {
        return Frame->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                           Frame->verticalScrollBar());
    }

    test::TTempDir Dir;
    QWidget Parent;
    TNailsFrame* Frame;
    std::string Picture;
    TThumbnailPicture PictureBytes;
    std::vector<int32_t> Skips;
};

TEST_F(NailsFrameTest, CellsFlowInRowsOfTheColumnsThatFit) {
    struct TCase {
        const char* Name;
        int Width; // less the vertical bar's width
        int Columns;
    } cases[] = {
        {"three columns", 3 * kNailStride + 5, 3},
        {"narrower than a cell", 20, 1},
        {"exactly two", 2 * kNailStride, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Frame->ClearNails();
        Width(BarWidth() + c.Width);
        Add({0, 1, 2, 3, 4});
        EXPECT_FALSE(Frame->isHidden());
        ASSERT_NE(Frame->Splitter(), nullptr);
        EXPECT_EQ(Frame->Splitter()->height(), 2);
        EXPECT_EQ(Frame->Columns(), c.Columns);
        const int cellHeight = kNailCellWidth + Child("nailTime0")->height();
        for (int i = 0; i < 5; ++i) {
            const std::string n = std::to_string(i);
            const QPoint at(kNailOrigin + (i % c.Columns) * kNailStride,
                            kNailOrigin + (i / c.Columns) * (cellHeight + kNailGap));
            EXPECT_EQ(Child("nailFrame" + n)->geometry(), QRect(at, QSize(64, 64))) << i;
            const QRect pic = Child("nailPic" + n)->geometry();
            EXPECT_EQ(pic, QRect(at + QPoint(2, 2), QSize(60, 60))) << i;
            EXPECT_EQ(Child("nailTime" + n)->pos(), at + QPoint(8, 64)) << i;
            const QRect number = Child("nailNumber" + n)->geometry();
            EXPECT_EQ(number.right(), pic.right()) << i;
            EXPECT_EQ(number.top(), pic.top()) << i;
            EXPECT_EQ(Child<QLabel>("nailNumber" + n)->text().toStdString(), std::to_string(i + 1));
        }
    }
    // Cells 0, 1, 2 on the first row at 10, 84, 158; cell 3 starts the next.
    Frame->ClearNails();
    Width(BarWidth() + 3 * kNailStride);
    Add({0, 1, 2, 3});
    std::vector<int> lefts;
    for (int i = 0; i < 4; ++i)
        lefts.push_back(Child("nailFrame" + std::to_string(i))->x());
    EXPECT_EQ(lefts, (std::vector<int>{10, 84, 158, 10}));
}

TEST_F(NailsFrameTest, AClickHighlightsTheCellAndAsksTheHostToSkip) {
    Width(BarWidth() + 3 * kNailStride);
    Add({1, 61, 125});
    struct TCase {
        const char* Name;
        int Cell;
        bool Double;
        std::vector<int32_t> Skips; // all so far
    } cases[] = {
        {"the 61-second cell", 1, false, {61}},
        {"another cell takes the highlight", 0, false, {61, 1}},
        {"a double click is one click", 2, true, {61, 1, 125}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QWidget* pic = Child("nailPic" + std::to_string(c.Cell));
        EXPECT_EQ(pic->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(pic, Qt::LeftButton);
        if (c.Double) { // the rest of what the system delivers for a double click
            QTest::mouseDClick(pic, Qt::LeftButton);
            QTest::mouseRelease(pic, Qt::LeftButton);
        }
        EXPECT_EQ(Skips, c.Skips);
        EXPECT_EQ(Highlighted(), std::vector<int>{c.Cell});
        EXPECT_EQ(Frame->CurrentNail(), Frame->Nail(c.Cell));
    }
    EXPECT_EQ(Child<QLabel>("nailTime1")->text().toStdString(), "00:01:01");
}

TEST_F(NailsFrameTest, ThePlayedMomentsCellIsHighlightedAndScrolledUp) {
    Width(40); // one column: each cell a row of its own
    Add({5, 61, 61, 125});
    struct TCase {
        int32_t Seconds;
        std::vector<int> Highlighted;
    } cases[] = {
        {0, {}},   // before every cell
        {61, {2}}, // the last of equal times
        {124, {2}}, {200, {3}}, {60, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Seconds);
        Frame->SelectNailByTime(c.Seconds);
        EXPECT_EQ(Highlighted(), c.Highlighted);
        if (c.Highlighted.empty()) continue;
        // The cell's row comes to the top of the view.
        QWidget* cell = Child("nailFrame" + std::to_string(c.Highlighted[0]));
        EXPECT_EQ(cell->mapTo(Frame->viewport(), QPoint(0, 0)).y(), kNailOrigin);
    }
}

TEST_F(NailsFrameTest, PicturesLoadByTheirExtension) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QString dir = QString::fromStdString(Dir.File("nails/"));
    image.save(dir + "a.bmp", "BMP");
    image.save(dir + "b.JPG", "JPEG");
    image.save(dir + "bmp-in.jpg", "BMP");
    struct TCase {
        const char* File;
        bool Loads;
    } cases[] = {
        {"a.bmp", true},        {"b.JPG", true},
        {"bmp-in.jpg", false}, // the extension decides the kind
        {"missing.jpg", false}, {"noextension", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        test::TLogCapture log;
        Frame->ClearNails();
        Frame->AddNail(Dir.File(std::string("nails/") + c.File), 61, Read(c.File));
        ASSERT_EQ(Frame->NailCount(), 1);
        EXPECT_EQ(Frame->Nail(0)->HasPicture(), c.Loads);
        EXPECT_EQ(log.Count("KivPlayer.ocx ->TNail.SetFileName raise:"), c.Loads ? 0 : 1);
        // A cell without its picture still shows its number and time.
        EXPECT_FALSE(Child("nailNumber0")->isHidden());
        EXPECT_EQ(Child<QLabel>("nailNumber0")->text().toStdString(), "1");
        EXPECT_FALSE(Child("nailTime0")->isHidden());
        EXPECT_EQ(Child<QLabel>("nailTime0")->text().toStdString(), "00:01:01");
    }
}

TEST_F(NailsFrameTest, AtMost120Cells) {
    Width(400);
    for (int i = 0; i < 121; ++i)
        Frame->AddNail(Picture, i, PictureBytes);
    EXPECT_EQ(Frame->NailCount(), 120);
    EXPECT_NE(Child("nailPic119"), nullptr);
    EXPECT_EQ(Child("nailPic120"), nullptr);
    EXPECT_EQ(Frame->Nail(119)->Time(), 119);
    // Cleared cells are gone for lookups at once.
    Frame->ClearNails();
    EXPECT_EQ(Child("nailPic0"), nullptr);
    EXPECT_EQ(Frame->NailCount(), 0);
    Frame->LayoutNail(5); // a step queued before the cells went: ignored
}

} // namespace
} // namespace kiv::ui
