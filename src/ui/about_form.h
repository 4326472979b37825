// The About box: the product's name and the library's file version.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kiv::ui {

class TfrmAbout : public QDialog {
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* e) override;

private:
    QLabel* Label1;
    QLabel* labVersion;
    QPushButton* btnOK;
};

// The file version of the library that holds the control.
QString LibraryFileVersion();

} // namespace kiv::ui
