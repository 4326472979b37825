#include "ui/about_form.h"

#include "platform/file_version.h"
#include "ui/captions.h"

#include <QLabel>
#include <QPushButton>

namespace kiv::ui {

namespace {

// The library's version as CMake set it, kept where FileVersionOf finds it.
[[gnu::used, gnu::section(".kiv_version")]] const char kVersion[] = KIV_FILE_VERSION;

} // namespace

QString LibraryFileVersion() {
    return QString::fromStdString(FileVersionOfModule(static_cast<const void*>(kVersion)));
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle(Caption(TCaption::AboutForm));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(323, 126);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);

    Label1 = new QLabel("Corvale KivPlayer ", this);
    Label1->setObjectName("Label1");
    QFont f1("MS Sans Serif");
    f1.setPixelSize(13);
    f1.setBold(true);
    Label1->setFont(f1);
    QPalette lp = Label1->palette();
    lp.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(lp);
    Label1->setGeometry(72, 24, 179, 16);

    labVersion = new QLabel("3.0.0", this);
    labVersion->setObjectName("labVersion");
    QFont f2(QString::fromUtf8("宋体"));
    f2.setPixelSize(12);
    f2.setBold(true);
    labVersion->setFont(f2);
    labVersion->setGeometry(141, 52, 35, 12);

    btnOK = new QPushButton(Caption(TCaption::Ok), this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnOK->setGeometry(123, 93, 75, 20);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::close);
}

void TfrmAbout::showEvent(QShowEvent* e) {
    labVersion->setText(LibraryFileVersion());
    labVersion->adjustSize();
    labVersion->move((width() - labVersion->width()) / 2, labVersion->y());
    QDialog::showEvent(e);
}

} // namespace kiv::ui
