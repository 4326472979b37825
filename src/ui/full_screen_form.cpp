#include "ui/full_screen_form.h"

#include "control/frame_layout.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

namespace kiv::ui {

TfrmFullScreen::TfrmFullScreen()
    : QWidget(nullptr, Qt::FramelessWindowHint), FImage(new TImagePic(this)) {
    setObjectName("frmFullScreen");
    setWindowTitle(QString::fromUtf8("全屏幕"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The control's own windows decide when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    // The form takes the keys before its picture.
    setFocusPolicy(Qt::StrongFocus);
    FImage->OnRightUp = [this] { LeaveFullScreen(); };
    FImage->OnDblClick = [this] { LeaveFullScreen(); };
}

void TfrmFullScreen::SetPicture(int32_t width, int32_t height) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    setGeometry(screen);
    FImage->setGeometry(Centred(screen.width(), width), Centred(screen.height(), height), width,
                        height);
    FImage->SizeBitmap();
}

void TfrmFullScreen::LeaveFullScreen() {
    if (OnLeave) OnLeave();
}

void TfrmFullScreen::keyReleaseEvent(QKeyEvent* e) {
    if (e->isAutoRepeat()) return;
    if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_F7) LeaveFullScreen();
}

void TfrmFullScreen::closeEvent(QCloseEvent* e) {
    e->accept();
    if (OnClosedBySystem) OnClosedBySystem();
}

} // namespace kiv::ui
