#include "player_window.h"

#include "activity_strip.h"
#include "export_dialog.h"
#include "window_captions.h"

#include "control/seek_range.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>

namespace kivplayer {

namespace {

constexpr int kRecentCount = 8;
constexpr int64_t kStepMs = 5000;

QSettings Settings() {
    return QSettings("Corvale", "kivplayer");
}

} // namespace

TPlayerWindow::TPlayerWindow(const TOptions& options) {
    setObjectName("kivplayer");
    setWindowTitle("KivPlayer");
    setAcceptDrops(true);
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FCtrl = new kiv::ui::TKivPlayerCtrl(central, this);
    FBar = new TTransportBar(central);
    column->addWidget(FCtrl, 1);
    column->addWidget(FBar);
    setCentralWidget(central);
    BuildMenu();
    BuildKeys();

    kiv::TKivPlayerCore& core = FCtrl->Core();
    core.SetAutoStart(options.AutoStart);
    core.SetPageUrl(options.PageUrl);
    Check(core.SetDisplayMode(options.Mode));
    FBar->ShowMode(core.DisplayMode());
    FBar->OnPlayPause = [this] { PlayPause(); };
    FBar->OnStop = [this] { Check(FCtrl->Core().Stop()); };
    FBar->OnFastForward = [this] { Check(FCtrl->Core().FastForward()); };
    FBar->OnSeek = [this](uint32_t ms) { SeekTo(ms); };
    FBar->OnMode = [this](kiv::TDisplayMode m) { Check(FCtrl->Core().SetDisplayMode(m)); };
    FBar->OnRate = [this](double r) { ChangeRate(r); };
    FBar->OnSkipIdle = [this](bool on) { Check(FCtrl->Core().SetSkipIdle(on)); };
    FCtrl->Notices.ActivityScanned = [this] { RefreshActivity(true); };

    // The window is sized around the control.
    const QSize saved = Settings().value("windowSize").toSize();
    FFitPending = !options.SizeGiven && !saved.isValid();
    if (!options.SizeGiven && saved.isValid()) {
        resize(saved);
    } else {
        FCtrl->setFixedSize(options.Width, options.Height);
        adjustSize();
        FCtrl->setMinimumSize(0, 0);
        FCtrl->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    FCtrl->Notices.PositionChanged = [this](uint32_t) {
        RefreshBar();
        RefreshActivity(false);
    };
}

void TPlayerWindow::BuildMenu() {
    QMenu* file = menuBar()->addMenu(Text(TText::File));
    QAction* open = file->addAction(Text(TText::OpenFile), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, "Open recording", QString(),
                                                          "Recordings (*.kiv *.sms);;All (*)");
        if (!path.isEmpty()) OpenAddress(path);
    });
    open->setShortcut(QKeySequence("Ctrl+O"));
    QAction* address = file->addAction(Text(TText::OpenAddress), this, [this] {
        bool ok = false;
        const QString a = QInputDialog::getText(this, "Open address", "Address:", QLineEdit::Normal,
                                                QString(), &ok);
        if (ok && !a.trimmed().isEmpty()) OpenAddress(a.trimmed());
    });
    address->setShortcut(QKeySequence("Ctrl+L"));
    FRecent = file->addMenu(Text(TText::Recent));
    RefreshRecent();
    file->addSeparator();
    QAction* exporting = file->addAction(Text(TText::ExportMenu), this, [this] { ShowExport(); });
    exporting->setObjectName("miExport");
    exporting->setShortcut(QKeySequence("Ctrl+E"));
    file->addSeparator();
    file->addAction(Text(TText::Quit), QKeySequence("Ctrl+Q"), this, &QWidget::close);
    QMenu* help = menuBar()->addMenu(Text(TText::Help));
    help->addAction(Text(TText::Keys), this, [this] {
        QMessageBox::information(this, Text(TText::Keys), Text(TText::KeysText));
    });
}

TPlayerWindow::~TPlayerWindow() {
    FExport.reset(); // cancels and waits for the worker
    delete FCtrl;
}

void TPlayerWindow::ShowExport() {
    if (FExport) {
        QMessageBox::information(this, Text(TText::ExportTitle), Text(TText::ExportBusy));
        return;
    }
    kiv::TKivPlayerCore& core = FCtrl->Core();
    TExportSource source;
    core.GetURL(&source.Address);
    if (source.Address.empty()) return;
    int32_t position = 0;
    core.GetCurrentPosition(&position);
    source.Position = static_cast<uint32_t>(position);
    source.Duration = core.Duration();
    source.Markers = core.Markers();
    source.Rate = core.Rate();
    source.SkipIdle = core.SkipIdle();
    auto* dialog = new TExportDialog(this, std::move(source));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        FExport = std::make_unique<TExportRun>(this, dialog->Options(), dialog->OpenWhenDone());
        FExport->Done = [this](const kiv::TExportResult& r) {
            // The run is inside this call: it is freed once back in the event loop.
            QMetaObject::invokeMethod(
                this,
                [this, r] {
                    FExport.reset();
                    if (ExportDone) ExportDone(r);
                },
                Qt::QueuedConnection);
        };
    });
    dialog->open();
}

void TPlayerWindow::BuildKeys() {
    auto key = [this](QKeySequence k, std::function<void()> f) {
        auto* s = new QShortcut(k, this);
        connect(s, &QShortcut::activated, this, f);
    };
    key(Qt::Key_Space, [this] { PlayPause(); });
    key(Qt::Key_Left, [this] {
        int32_t ms = 0;
        FCtrl->Core().GetCurrentPosition(&ms);
        SeekTo(int64_t{ms} - kStepMs);
    });
    key(Qt::Key_Right, [this] {
        int32_t ms = 0;
        FCtrl->Core().GetCurrentPosition(&ms);
        SeekTo(int64_t{ms} + kStepMs);
    });
    key(Qt::Key_Home, [this] { SeekTo(0); });
    key(Qt::Key_F, [this] { Check(FCtrl->Core().SetFullScreen(true)); });
    key(Qt::Key_Escape, [this] { FCtrl->Core().LeaveFullScreen(); });
    // The rate as mpv steps it.
    key(QKeySequence("["), [this] { ChangeRate(FCtrl->Core().Rate() / 1.1); });
    key(QKeySequence("]"), [this] { ChangeRate(FCtrl->Core().Rate() * 1.1); });
    key(QKeySequence("{"), [this] { ChangeRate(FCtrl->Core().Rate() / 2); });
    key(QKeySequence("}"), [this] { ChangeRate(FCtrl->Core().Rate() * 2); });
    key(Qt::Key_Backspace, [this] { ChangeRate(1); });
    key(Qt::Key_PageUp, [this] { Check(FCtrl->Core().PreviousMarker()); });
    key(Qt::Key_PageDown, [this] { Check(FCtrl->Core().NextMarker()); });
}

void TPlayerWindow::Check(kiv::HRESULT hr) {
    if (hr != kiv::S_OK) FCtrl->ShowError(kiv::GetErrorInfo(), kiv::TFailureKind::Player);
}

void TPlayerWindow::PlayPause() {
    kiv::TKivPlayerCore& core = FCtrl->Core();
    const kiv::TStatus s = core.PlayState();
    if (!kiv::SourceIsOpen(s)) return;
    Check(s == kiv::vpPlaying ? core.Pause() : core.Play());
}

kiv::TSeekRange TPlayerWindow::SeekRange() {
    return kiv::SeekRangeOf(FCtrl->Core().Statistics(), FCtrl->Core().Duration());
}

void TPlayerWindow::SeekTo(int64_t ms) {
    kiv::TKivPlayerCore& core = FCtrl->Core();
    if (!kiv::SourceIsOpen(core.PlayState())) return;
    Check(core.SetCurrentPosition(static_cast<int32_t>(kiv::ClampIntoRange(ms, SeekRange()))));
    RefreshBar();
}

void TPlayerWindow::RefreshBar() {
    kiv::TKivPlayerCore& core = FCtrl->Core();
    int32_t pos = 0;
    core.GetCurrentPosition(&pos);
    FBar->Show(core.PlayState(), static_cast<uint32_t>(std::max(pos, 0)), SeekRange(),
               core.Duration(), core.Statistics().Live);
}

void TPlayerWindow::RefreshActivity(bool now) {
    if (!now && FActivityShown.isValid() && FActivityShown.elapsed() < 1000) return;
    FActivityShown.start();
    const kiv::TKivPlayerCore& core = FCtrl->Core();
    const kiv::TSeekRange range = SeekRange();
    FBar->Activity()->SetActivity(range.First, range.Last, core.Activity(), core.IdleStretches(),
                                  core.Markers());
}

void TPlayerWindow::ChangeRate(double rate) {
    kiv::TKivPlayerCore& core = FCtrl->Core();
    Check(core.SetRate(std::clamp(rate, 0.25, 16.0)));
    FBar->ShowRate(core.Rate());
}

void TPlayerWindow::FitToRecording() {
    FFitPending = false;
    const kiv::TKivPlayerCore& core = FCtrl->Core();
    const int w = core.KivWidth(), h = core.KivHeight();
    const QScreen* s = screen();
    if (w <= 0 || h <= 0 || !s) return;
    // What the window holds besides the picture: the menu, the bar, the frame.
    const QSize frame = FCtrl->frmDetail()->viewport()->size();
    const QSize extra = size() - frame;
    const QSize room = s->availableGeometry().size() - extra;
    if (room.width() <= 0 || room.height() <= 0) return;
    const double fit = std::min({1.0, double(room.width()) / w, double(room.height()) / h});
    resize(extra + QSize(int(w * fit), int(h * fit)));
}

void TPlayerWindow::OpenAddress(const QString& address) {
    kiv::TKivPlayerCore& core = FCtrl->Core();
    if (core.PlayState() != kiv::vpClosed) Check(core.Close());
    QSettings settings = Settings();
    QStringList recent = settings.value("recent").toStringList();
    recent.removeAll(address);
    recent.prepend(address);
    while (recent.size() > kRecentCount)
        recent.removeLast();
    settings.setValue("recent", recent);
    RefreshRecent();
    const QString name = QFileInfo(address).fileName();
    setWindowTitle((name.isEmpty() ? address : name) + " - KivPlayer");
    Check(core.Open(address.toStdString()));
    FBar->SetPreviewAddress(address.toStdString());
}

void TPlayerWindow::RefreshRecent() {
    FRecent->clear();
    for (const QString& a : Settings().value("recent").toStringList())
        FRecent->addAction(a, this, [this, a] { OpenAddress(a); });
    FRecent->setEnabled(!FRecent->isEmpty());
}

void TPlayerWindow::OnPlayStateChanged(kiv::TStatus state) {
    if (state == kiv::vpOpened) {
        if (FFitPending) FitToRecording();
        FBar->ShowRate(FCtrl->Core().Rate());
        RefreshActivity(true);
    }
    RefreshBar();
    if (StateChanged) StateChanged(state);
}

void TPlayerWindow::OnPositionChanged(int32_t) {
    RefreshBar();
}

void TPlayerWindow::OnSkip(int32_t seconds) {
    SeekTo(int64_t{seconds} * 1000);
}

void TPlayerWindow::OnDisplayModeChanged(kiv::TDisplayMode mode) {
    FBar->ShowMode(mode);
    if (ModeChanged) ModeChanged(mode);
}

void TPlayerWindow::closeEvent(QCloseEvent* e) {
    FCtrl->Core().LeaveFullScreen();
    Settings().setValue("windowSize", size());
    QMainWindow::closeEvent(e);
}

void TPlayerWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls() || e->mimeData()->hasText()) e->acceptProposedAction();
}

void TPlayerWindow::dropEvent(QDropEvent* e) {
    const QMimeData* m = e->mimeData();
    QString address;
    if (m->hasUrls() && !m->urls().isEmpty()) {
        const QUrl u = m->urls().first();
        address = u.isLocalFile() ? u.toLocalFile() : u.toString();
    } else if (m->hasText()) {
        address = m->text().trimmed();
    }
    if (address.isEmpty()) return;
    e->acceptProposedAction();
    OpenAddress(address);
}

} // namespace kivplayer
