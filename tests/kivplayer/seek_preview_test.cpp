// The seek slider's hover preview: the time at once, the picture when the
// reader answers, the time alone for a live source, gone when the pointer leaves.
#include "seek_preview.h"
#include "support/nginx.h"
#include "synth/synth.h"
#include "ui/ui_app.h"

#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kivplayer {
namespace {

void Hover(QSlider& slider, int x) {
    const QPointF local(x, slider.height() / 2);
    QMouseEvent move(QEvent::MouseMove, local, slider.mapToGlobal(local), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
}

TEST(SeekPreview, ShowsTheTimeAtOnceAndThePictureWhenItCame) {
    kiv::test::App();
    kiv::test::TTempDir dir;
    kiv::synth::TSynthOptions o;
    o.Seconds = 35;
    o.Width = 320;
    o.Height = 240;
    const std::string path = dir.File("rec.kiv");
    kiv::synth::WriteSynthRecording(path, o);

    QWidget window;
    auto* slider = new QSlider(Qt::Horizontal, &window);
    slider->setFixedWidth(350);
    slider->setRange(0, 35000);
    (new QVBoxLayout(&window))->addWidget(slider);
    window.show();
    TSeekPreview preview(slider);
    kiv::test::TWaiter waiter;
    int answers = 0;
    preview.Answered = [&] {
        ++answers;
        waiter.Notify();
    };

    struct TCase {
        std::string Address;
        bool Picture;
    };
    for (const TCase& c : {TCase{path, true}, TCase{"KIVS://127.0.0.1/demo", false}}) {
        SCOPED_TRACE(c.Address);
        preview.SetAddress(c.Address);
        const int before = answers;
        Hover(*slider, 175); // half way
        EXPECT_EQ(preview.TimeShown(), "00:00:17");
        ASSERT_TRUE(waiter.Until([&] { return answers > before; }));
        EXPECT_EQ(preview.PictureShown(), c.Picture);
        EXPECT_EQ(preview.TimeShown(), "00:00:17");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(slider, &leave);
        EXPECT_TRUE(preview.TimeShown().isEmpty());
    }
}

} // namespace
} // namespace kivplayer
