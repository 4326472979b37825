// The full-screen window of one control: the picture at actual size, centred
// on the primary screen over black.
#pragma once

#include "ui/image_pic.h"

#include <QWidget>

#include <functional>

namespace kiv::ui {

class TfrmFullScreen : public QWidget {
public:
    TfrmFullScreen();

    void SetPicture(int32_t width, int32_t height);
    void LeaveFullScreen();
    // The user's ways out (Esc, F7, right click, double click): the control leaves.
    std::function<void()> OnLeave;
    TImagePic* imgPic() const { return FImage; }

    // Closed by the system (the window manager, Alt+F4), not by the control,
    // which frees the window by deleting it.
    std::function<void()> OnClosedBySystem;

protected:
    void keyReleaseEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    TImagePic* FImage;
};

} // namespace kiv::ui
