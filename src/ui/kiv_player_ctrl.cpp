#include "ui/kiv_player_ctrl.h"

#include "control/picture_copy.h"
#include "nails/thumbnails.h"
#include "ui/about_form.h"
#include "ui/captions.h"
#include "ui/kiv_player_ctrl_object.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace kiv::ui {

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TMessageEvent : public QEvent {
public:
    explicit TMessageEvent(const TMessage& m) : QEvent(kMessageEvent), Message(m) {}
    TMessage Message;
};

// One of each dialog in the process.
QPointer<TfrmStatus> gStatus;
QPointer<TfrmAbout> gAbout;

} // namespace

TKivPlayerCtrl::TKivPlayerCtrl(QWidget* parent, IKivPlayerEvents* events,
                               TKivPlayerCore::TOptions options)
    : QWidget(parent) {
    FSinks.Host = events;
    InstallFontSubstitutes();
    setObjectName("KivPlayerCtrl");
    setWindowTitle("KivPlayerCtrl");
    resize(495, 410);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, p.color(QPalette::Button));
    setPalette(p);

    FDetail = new TDetailFrame(this);
    FNails = new TNailsFrame(this);
    FNails->setFixedHeight(63);
    FNails->hide();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(FDetail, 1);
    layout->addWidget(FNails);
    for (QWidget* w : {static_cast<QWidget*>(FDetail), FDetail->viewport(),
                       static_cast<QWidget*>(FDetail->imgPic()), static_cast<QWidget*>(FNails)})
        w->installEventFilter(this); // keys reach the form first
    FDetail->OnClick = [this] { Sink().OnClick(); };
    FDetail->imgPic()->OnClick = [this] { Sink().OnClick(); };
    FNails->OnSkip = [this](int32_t seconds) { Sink().OnSkip(seconds); };
    FNails->OnRelayout = [this](int32_t count) { FCore->RelayoutThumbnails(count); };
    // Later, from the event loop: the gesture's own handler may be freeing what it ran in.
    FDetail->OnDblClick = [this] { Later([this] { FCore->ChooseFullScreen(); }); };
    FDetail->OnResized = [this] { Later([this] { FCore->RefreshPicture(); }); };

    timActiveNails.setObjectName("timActiveNails");
    timActiveNails.setInterval(1000);
    connect(&timActiveNails, &QTimer::timeout, this,
            [this] { Guarded([this] { timActiveNailsTimer(); }); });
    timActiveNails.start();
    FRetryTimer.setSingleShot(true);
    connect(&FRetryTimer, &QTimer::timeout, this, [this] { Guarded([this] { FRetryElapsed(); }); });
    BuildMenu();

    // The colours the form has once initialised.
    FDetail->SetColor(Qt::black);
    FNails->SetBackgroundColor(Qt::black);

    if (!options.Thumbnails) options.Thumbnails = NewThumbnails();
    FCore = std::make_unique<TKivPlayerCore>(this, this, this, this, std::move(options));
    FAutomation = MakeCtrlAutomation(*this);
    Sink().OnCreate();
}

TKivPlayerCtrl::~TKivPlayerCtrl() {
    Sink().OnDestroy();
    delete FNails;
    FNails = nullptr;
    // The dialogs and the surfaces read the core: they go before it.
    delete FStatus.data();
    delete FFull.data();
    delete FBox.data();
    FCore.reset();
}

void TKivPlayerCtrl::BuildMenu() {
    FMenu = new QMenu(this);
    FMenu->setObjectName("pmKiv");
    QMenu* modes = FMenu->addMenu(Caption(TCaption::DisplayMode));
    modes->setObjectName("miDisplayModeMenu");
    miDisplayMode = modes->menuAction();
    miDisplayMode->setObjectName("miDisplayMode");
    auto add = [this](QMenu* menu, const char* name, TCaption c, std::function<void()> f) {
        QAction* a = menu->addAction(Caption(c));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [this, f] { Guarded(f); });
        return a;
    };
    miFull = add(modes, "miFull", TCaption::Full, [this] { FCore->ChooseFullScreen(); });
    miOriginal = add(modes, "miOriginal", TCaption::Original, [this] { FCore->ChooseOriginal(); });
    miAdaptive = add(modes, "miAdaptive", TCaption::Adaptive, [this] { FCore->ChooseAdaptive(); });
    for (QAction* a : {miFull, miOriginal, miAdaptive})
        a->setCheckable(true);
    connect(modes, &QMenu::aboutToShow, this, [this] {
        const TDisplayMode m = FCore->DisplayMode();
        miAdaptive->setChecked(m == dmAdaptive);
        miFull->setChecked(m == dmFull);
        miOriginal->setChecked(m == dmOriginal);
    });
    FMenu->addSeparator()->setObjectName("miLine2");
    miStatus = add(FMenu, "miStatus", TCaption::Status, [this] { ShowStatus(); });
    FMenu->addSeparator()->setObjectName("miLine");
    miAbout = add(FMenu, "miAbout", TCaption::About, [this] { ShowAbout(); });
}

void TKivPlayerCtrl::Guarded(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        ShowError(e.what(), TFailureKind::Player);
    }
}

void TKivPlayerCtrl::Later(std::function<void()> f) {
    QTimer::singleShot(0, this, [this, f = std::move(f)] { Guarded(f); });
}

IKivPlayer& TKivPlayerCtrl::Automation() {
    return *FAutomation;
}

IKivPlayerNavigation& TKivPlayerCtrl::Navigation() {
    return dynamic_cast<IKivPlayerNavigation&>(*FAutomation);
}

TImagePic* TKivPlayerCtrl::Picture() const {
    return FFull ? FFull->imgPic() : FDetail->imgPic();
}

void TKivPlayerCtrl::ShowStatus() {
    if (gStatus && gStatus->parentWidget() != this) delete gStatus.data();
    if (!gStatus) gStatus = new TfrmStatus(this, [this] { return FCore->Statistics(); });
    FStatus = gStatus;
    gStatus->ShowAndRefresh();
}

void TKivPlayerCtrl::ShowAbout() {
    if (!gAbout) gAbout = new TfrmAbout(this);
    gAbout->setModal(true);
    gAbout->show();
    gAbout->raise();
}

bool TKivPlayerCtrl::Post(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(this, new TMessageEvent({msg, wParam, lParam}));
    return true;
}

bool TKivPlayerCtrl::event(QEvent* e) {
    if (e->type() == kMessageEvent) {
        FCore->HandleMessage(static_cast<TMessageEvent*>(e)->Message);
        return true;
    }
    return QWidget::event(e);
}

void TKivPlayerCtrl::ShowInFrame(int32_t width, int32_t height, TDisplayMode mode) {
    FDetail->SetPicture(width, height, mode);
}

void TKivPlayerCtrl::ShowFullScreen(int32_t width, int32_t height) {
    if (!FFull) {
        FFull = new TfrmFullScreen;
        FFull->OnClosedBySystem = [this] {
            FFull = nullptr;
            Guarded([this] { FCore->FullScreenClosed(); });
        };
        FFull->OnLeave = [this] { Later([this] { FCore->LeaveFullScreen(); }); };
    }
    FFull->SetPicture(width, height);
    FFull->showFullScreen();
    FFull->activateWindow();
    FFull->setFocus();
}

void TKivPlayerCtrl::CloseFullScreen() {
    delete FFull.data();
}

void TKivPlayerCtrl::PictureChanged(const TRect& r, TDisplayMode mode,
                                    const IPictureSource& source) {
    if ((mode == dmFull) != static_cast<bool>(FFull)) return;
    TImagePic* pic = Picture();
    const TPixels dst = pic->Pixels();
    if (!dst.Bits) return;
    const TPictureCopy plan = PlanPictureCopy(r, mode, FDetail->Zoom(), source.Width(),
                                              source.Height(), dst.Width, dst.Height);
    bool copied = false;
    source.Read([&](const TBitmap24& back) {
        if (plan.Direct())
            copied = CopyRect(dst, PixelsOf(back), plan.Dest);
        else {
            ScaleRectBilinear(dst, plan.Dest, PixelsOf(back), plan.Source);
            copied = true;
        }
    });
    // Only that rectangle, painted over without erasing.
    const TRect& d = plan.Dest;
    if (copied) pic->update(d.Left, d.Top, d.Right - d.Left, d.Bottom - d.Top);
}

void TKivPlayerCtrl::SourceReleased() {
    if (gStatus && gStatus->parentWidget() == this) delete gStatus.data();
}

void TKivPlayerCtrl::ThumbnailsCleared() {
    FNails->Reset();
}

void TKivPlayerCtrl::ThumbnailAdded(const std::string& path, int32_t seconds,
                                    TThumbnailPicture picture) {
    FNails->QueueNail(path, seconds, std::move(picture));
}

void TKivPlayerCtrl::ThumbnailLayoutStep(int32_t step) {
    FNails->LayoutNail(step);
}

void TKivPlayerCtrl::ThumbnailsDownloaded() {
    if (Notices.ThumbnailsDownloaded) Notices.ThumbnailsDownloaded();
}

void TKivPlayerCtrl::timActiveNailsTimer() {
    int32_t ms = 0;
    if (FCore->PlayState() != vpPlaying || FNails->isHidden()) return;
    if (FCore->GetCurrentPosition(&ms) == S_OK) FNails->SelectNailByTime(ms / 1000);
}

void TKivPlayerCtrl::ShowError(const std::string& text, TFailureKind kind) {
    // Failures that repeat while one is shown wait for nothing: one box at a time.
    if (FBox) {
        if (Notices.Error) Notices.Error(text);
        return;
    }
    FBox = new QMessageBox(QMessageBox::Critical, FailureCaption(kind),
                           QString::fromStdString(text), QMessageBox::Ok, this);
    FBox->setObjectName("msgError");
    FBox->setAttribute(Qt::WA_DeleteOnClose);
    FBox->open();
    if (Notices.Error) Notices.Error(text);
}

void TKivPlayerCtrl::PositionAnswered(uint32_t ms) {
    if (Notices.PositionAnswered) Notices.PositionAnswered(ms);
}
void TKivPlayerCtrl::PlayedToEnd() {
    if (Notices.PlayedToEnd) Notices.PlayedToEnd();
}
void TKivPlayerCtrl::PositionChanged(uint32_t ms) {
    if (Notices.PositionChanged) Notices.PositionChanged(ms);
}
void TKivPlayerCtrl::ActivityScanned() {
    if (Notices.ActivityScanned) Notices.ActivityScanned();
}
void TKivPlayerCtrl::MarkerPassed(uint32_t ms, const std::string& text) {
    if (Notices.MarkerPassed) Notices.MarkerPassed(ms, text);
    FSinks.Dispatch.OnMarker(static_cast<int32_t>(ms));
}

void TKivPlayerCtrl::OnPlayStateChanged(TStatus state) {
    Sink().OnPlayStateChanged(state);
}
void TKivPlayerCtrl::OnPositionChanged(int32_t ms) {
    Sink().OnPositionChanged(ms);
}
void TKivPlayerCtrl::OnDisplayModeChanged(TDisplayMode mode) {
    Sink().OnDisplayModeChanged(mode);
}

void TKivPlayerCtrl::Start(uint32_t delayMs, std::function<void()> elapsed) {
    FRetryElapsed = std::move(elapsed);
    FRetryTimer.start(static_cast<int>(delayMs));
}
void TKivPlayerCtrl::Cancel() {
    FRetryTimer.stop();
}

bool TKivPlayerCtrl::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent*>(e));
        return e->isAccepted();
    }
    return QWidget::eventFilter(watched, e);
}

void TKivPlayerCtrl::contextMenuEvent(QContextMenuEvent* e) {
    FMenu->popup(e->globalPos());
}

void TKivPlayerCtrl::keyPressEvent(QKeyEvent* e) {
    const QString text = e->text();
    if (text.isEmpty() || !text.at(0).isPrint()) {
        e->ignore(); // not a character: the host's keys
        return;
    }
    int16_t key = static_cast<int16_t>(text.at(0).unicode());
    Sink().OnKeyPress(key);
}

void TKivPlayerCtrl::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) Sink().OnClick();
}

void TKivPlayerCtrl::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) Sink().OnDblClick();
}

void TKivPlayerCtrl::paintEvent(QPaintEvent* e) {
    QWidget::paintEvent(e);
    Sink().OnPaint();
}

void TKivPlayerCtrl::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange) {
        if (isActiveWindow())
            Sink().OnActivate();
        else
            Sink().OnDeactivate();
    }
    QWidget::changeEvent(e);
}

} // namespace kiv::ui
