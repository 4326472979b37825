#include "ui/nail.h"

#include "control/time_text.h"
#include "platform/debug_log.h"
#include "platform/error.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace kiv::ui {

namespace {

// A thumbnail comes from a web server: a picture larger than this is refused
// before it is decoded.
constexpr int64_t kMaxPicturePixels = 16 * 1024 * 1024;

QImage ReadPicture(const QString& path, const TThumbnailPicture& picture) {
    if (!picture.Error.empty()) throw EKivError(picture.Error);
    const QByteArray bytes = QByteArray::fromRawData(
        reinterpret_cast<const char*>(picture.Bytes.data()), qsizetype(picture.Bytes.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The kind follows the extension, as the recorder names its pictures.
    QImageReader reader(&buffer, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (size.isValid() && int64_t(size.width()) * size.height() > kMaxPicturePixels)
        throw EKivError("Picture too large: " + path.toStdString());
    // Stretched into the cell anyway: JPEG decodes straight to that size.
    reader.setScaledSize(QSize(TNail::kPictureSize, TNail::kPictureSize));
    QImage image = reader.read();
    if (image.isNull()) throw EKivError(reader.errorString().toStdString());
    return image;
}

void Hide(QWidget* w) {
    w->hide();
    w->setObjectName(QString()); // gone for name lookups at once
    w->deleteLater();
}

} // namespace

TNailPic::TNailPic(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setScaledContents(true);
}

void TNailPic::mousePressEvent(QMouseEvent* e) {
    FPressed = e->button() == Qt::LeftButton;
}

void TNailPic::mouseReleaseEvent(QMouseEvent* e) {
    const bool click = FPressed && e->button() == Qt::LeftButton && rect().contains(e->pos());
    FPressed = false;
    if (click && OnClick) {
        const auto run = OnClick; // the handler may free this cell's owner
        run();
    }
}

void TNailPic::mouseDoubleClickEvent(QMouseEvent*) {
    FPressed = false;
}

TNailRect::TNailRect(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TNailRect::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    const QColor c = TNail::kCurrentColor;
    p.fillRect(0, 0, w, 2, c);
    p.fillRect(0, h - 2, w, 2, c);
    p.fillRect(0, 0, 2, h, c);
    p.fillRect(w - 2, 0, 2, h, c);
}

TNail::TNail(QWidget* canvas, int32_t index)
    : FRect(new TNailRect(canvas)), FTimeLabel(new QLabel("00:00:00", canvas)),
      FPicture(new TNailPic(canvas)), FNumber(new QLabel(QString::number(index + 1), canvas)),
      FIndex(index) {
    for (QWidget* w : {static_cast<QWidget*>(FRect), static_cast<QWidget*>(FTimeLabel),
                       static_cast<QWidget*>(FPicture), static_cast<QWidget*>(FNumber)})
        w->hide();
    const QString n = QString::number(index);
    FRect->setObjectName("nailFrame" + n);
    FTimeLabel->setObjectName("nailTime" + n);
    FPicture->setObjectName("nailPic" + n);
    FNumber->setObjectName("nailNumber" + n);
    FRect->resize(kNailCellWidth, kNailCellWidth);
    FPicture->resize(kPictureSize, kPictureSize);
    FPicture->OnClick = [this] {
        if (OnClick) OnClick(*this);
    };
    QPalette number = FNumber->palette();
    number.setColor(QPalette::Window, Qt::black);
    number.setColor(QPalette::WindowText, kOtherColor);
    FNumber->setPalette(number);
    FNumber->setAutoFillBackground(true);
    FNumber->adjustSize();
    FTimeLabel->adjustSize();
    Arrange();
}

TNail::~TNail() {
    FPicture->OnClick = nullptr;
    for (QWidget* w : {static_cast<QWidget*>(FRect), static_cast<QWidget*>(FTimeLabel),
                       static_cast<QWidget*>(FPicture), static_cast<QWidget*>(FNumber)})
        Hide(w);
}

int32_t TNail::Height() const {
    return kNailCellWidth + FTimeLabel->height();
}

bool TNail::HasPicture() const {
    return !FPicture->pixmap().isNull();
}

void TNail::SetFileName(const QString& path, const TThumbnailPicture& picture) {
    FFileName = path;
    try {
        FPicture->setPixmap(QPixmap::fromImage(ReadPicture(path, picture)));
    } catch (const std::exception& e) {
        FPicture->clear();
        DebugLog(std::string("TNail.SetFileName raise:") + e.what());
    }
}

void TNail::SetTime(int32_t seconds) {
    FTime = seconds;
    FTimeLabel->setText(QString::fromStdString(TimeText(int64_t{seconds} * 1000)));
    FTimeLabel->adjustSize();
}

void TNail::SetCurrent(bool current) {
    FCurrent = current;
    Refresh();
}

void TNail::SetPlace(TNailPlace place) {
    FPlace = place;
    Arrange();
}

void TNail::Arrange() {
    const int x = FPlace.Left, y = FPlace.Top;
    FRect->move(x, y);
    FPicture->move(x + 2, y + 2);
    FTimeLabel->move(x + 8, y + kNailCellWidth);
    FNumber->move(x + 2 + kPictureSize - FNumber->width(), y + 2);
}

void TNail::Refresh() {
    FRect->setVisible(FCurrent);
    QFont font = FTimeLabel->font();
    font.setBold(FCurrent);
    FTimeLabel->setFont(font);
    QPalette p = FTimeLabel->palette();
    p.setColor(QPalette::WindowText, FCurrent ? kCurrentColor : kOtherColor);
    FTimeLabel->setPalette(p);
    FTimeLabel->adjustSize();
    FPicture->show();
    FNumber->adjustSize();
    Arrange();
    FNumber->show();
    FNumber->raise();
    FTimeLabel->show();
}

} // namespace kiv::ui
