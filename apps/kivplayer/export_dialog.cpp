#include "export_dialog.h"

#include "window_captions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardItemModel>
#include <QUrl>

namespace kivplayer {

namespace {

struct TFormatRow {
    const char* Label;
    kiv::TExportCodec Codec;
    const char* Suffix; // "/" for a folder
};
constexpr TFormatRow kFormats[] = {
    {"MP4 (H.264)", kiv::TExportCodec::H264, ".mp4"},
    {"WebM (VP9)", kiv::TExportCodec::Vp9, ".webm"},
    {"MKV (FFV1, lossless)", kiv::TExportCodec::Ffv1, ".mkv"},
    {"GIF", kiv::TExportCodec::Gif, ".gif"},
    {"PNG pictures (a folder)", kiv::TExportCodec::Png, "/"},
};
enum TRange { rgWhole, rgFromHere, rgMarkers };
constexpr double kScales[] = {1, 0.75, 0.5, 0.25};
constexpr double kSpeeds[] = {1, 2, 4, 8, 16};

QString Clock(uint32_t ms) {
    const uint32_t s = ms / 1000;
    return QString::asprintf("%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
}

QString Base(const std::string& address) {
    QString name = QFileInfo(QString::fromStdString(address)).completeBaseName();
    return name.isEmpty() ? QString("export") : name;
}

} // namespace

TExportDialog::TExportDialog(QWidget* parent, TExportSource source)
    : QDialog(parent), FSource(std::move(source)) {
    setObjectName("dlgExport");
    setWindowTitle(Text(TText::ExportTitle));
    auto* form = new QFormLayout(this);
    FFormat = new QComboBox(this);
    FFormat->setObjectName("cbFormat");
    for (const auto& f : kFormats)
        FFormat->addItem(f.Label);
    form->addRow(Text(TText::ExportFormat), FFormat);

    FRange = new QComboBox(this);
    FRange->setObjectName("cbRange");
    FRange->addItem(Text(TText::ExportWhole) + "  (" + Clock(FSource.Duration) + ")");
    FRange->addItem(Text(TText::ExportFromHere) + "  (" + Clock(FSource.Position) + " – " +
                    Clock(FSource.Duration) + ")");
    FRange->addItem(Text(TText::ExportBetweenMarkers));
    // Between markers needs one at least (the start and the end count as ends).
    if (auto* model = qobject_cast<QStandardItemModel*>(FRange->model());
        model && FSource.Markers.empty())
        model->item(rgMarkers)->setEnabled(false);
    form->addRow(Text(TText::ExportRange), FRange);
    auto* markers = new QHBoxLayout;
    FFromMarker = new QComboBox(this);
    FFromMarker->setObjectName("cbFromMarker");
    FToMarker = new QComboBox(this);
    FToMarker->setObjectName("cbToMarker");
    FFromMarker->addItem(Text(TText::ExportStart), 0u);
    for (const auto& m : FSource.Markers) {
        const QString label =
            Clock(m.Time) + (m.Text.empty() ? QString() : "  " + QString::fromStdString(m.Text));
        FFromMarker->addItem(label, m.Time);
        FToMarker->addItem(label, m.Time);
    }
    FToMarker->addItem(Text(TText::ExportEnd), FSource.Duration);
    if (FToMarker->count() > 1) FToMarker->setCurrentIndex(0);
    markers->addWidget(FFromMarker);
    markers->addWidget(FToMarker);
    form->addRow(QString(), markers);

    FSize = new QComboBox(this);
    FSize->setObjectName("cbSize");
    for (double s : kScales)
        FSize->addItem(QString::asprintf("%g %%", s * 100));
    form->addRow(Text(TText::ExportSize), FSize);

    auto* speed = new QHBoxLayout;
    FSpeed = new QComboBox(this);
    FSpeed->setObjectName("cbSpeed");
    for (double s : kSpeeds)
        FSpeed->addItem(QString::asprintf("%g×", s));
    FSpeed->setCurrentIndex(0);
    for (int i = 0; i < FSpeed->count(); ++i)
        if (kSpeeds[i] == FSource.Rate) FSpeed->setCurrentIndex(i);
    FSkipIdle = new QCheckBox(Text(TText::SkipIdle), this);
    FSkipIdle->setObjectName("chkSkipIdle");
    FSkipIdle->setChecked(FSource.SkipIdle);
    speed->addWidget(FSpeed);
    speed->addWidget(FSkipIdle);
    form->addRow(Text(TText::Speed), speed);

    FNoPointer = new QCheckBox(Text(TText::ExportNoPointer), this);
    FNoPointer->setObjectName("chkNoPointer");
    form->addRow(QString(), FNoPointer);

    auto* output = new QHBoxLayout;
    FOutput = new QLineEdit(this);
    FOutput->setObjectName("edOutput");
    auto* browse = new QPushButton(Text(TText::ExportBrowse), this);
    browse->setObjectName("btnBrowse");
    output->addWidget(FOutput, 1);
    output->addWidget(browse);
    form->addRow(Text(TText::ExportTo), output);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(this, Text(TText::ExportTitle), FOutput->text());
        if (!path.isEmpty()) FOutput->setText(path);
    });

    FOpenWhenDone = new QCheckBox(Text(TText::ExportOpenWhenDone), this);
    FOpenWhenDone->setObjectName("chkOpenWhenDone");
    form->addRow(QString(), FOpenWhenDone);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Text(TText::ExportStartButton));
    buttons->button(QDialogButtonBox::Ok)->setObjectName("btnExport");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);

    connect(FFormat, &QComboBox::currentIndexChanged, this, [this] { FormatChosen(); });
    connect(FRange, &QComboBox::currentIndexChanged, this, [this] { RangeChosen(); });
    const QFileInfo where(QString::fromStdString(FSource.Address));
    FOutput->setText(QDir(where.exists() ? where.absolutePath() : QDir::homePath())
                         .filePath(Base(FSource.Address) + ".mp4"));
    RangeChosen();
}

void TExportDialog::FormatChosen() {
    // The name follows the format: its extension, or a folder's slash.
    QString path = FOutput->text();
    for (const auto& f : kFormats) {
        const QString suffix = f.Suffix;
        if (path.endsWith(suffix, Qt::CaseInsensitive)) {
            path.chop(suffix.size());
            break;
        }
    }
    FOutput->setText(path + kFormats[FFormat->currentIndex()].Suffix);
}

void TExportDialog::RangeChosen() {
    const bool markers = FRange->currentIndex() == rgMarkers;
    FFromMarker->setEnabled(markers);
    FToMarker->setEnabled(markers);
}

kiv::TExportOptions TExportDialog::Options() const {
    kiv::TExportOptions o;
    o.Address = FSource.Address;
    o.Output = FOutput->text().toStdString();
    o.Codec = kFormats[FFormat->currentIndex()].Codec;
    auto at = [](uint32_t ms) {
        kiv::TExportTime t;
        t.Kind = kiv::TExportTime::TKind::Ms;
        t.Ms = ms;
        return t;
    };
    switch (FRange->currentIndex()) {
    case rgFromHere:
        o.From = at(FSource.Position);
        break;
    case rgMarkers: {
        const uint32_t from = FFromMarker->currentData().toUInt();
        const uint32_t to = FToMarker->currentData().toUInt();
        if (from > 0) o.From = at(from);
        if (to > from && to < FSource.Duration) o.To = at(to);
        break;
    }
    default:
        break;
    }
    o.Scale = kScales[FSize->currentIndex()];
    if (o.Scale == 1) o.Scale = 0;
    o.Rate = kSpeeds[FSpeed->currentIndex()];
    o.SkipIdle = FSkipIdle->isChecked();
    o.Pointer = !FNoPointer->isChecked();
    o.Force = true; // the file dialog asked before replacing
    return o;
}

bool TExportDialog::OpenWhenDone() const {
    return FOpenWhenDone->isChecked();
}

TExportRun::TExportRun(QWidget* parent, kiv::TExportOptions options, bool openWhenDone)
    : QObject(parent), FOptions(std::move(options)), FOpenWhenDone(openWhenDone) {
    FProgress =
        new QProgressDialog(Text(TText::ExportRunning), Text(TText::ExportCancel), 0, 1000, parent);
    FProgress->setObjectName("dlgExportProgress");
    FProgress->setWindowTitle(Text(TText::ExportTitle));
    FProgress->setWindowModality(Qt::NonModal);
    FProgress->setAutoClose(false);
    FProgress->setAutoReset(false);
    FProgress->setMinimumDuration(0);
    FProgress->setValue(0);
    connect(FProgress, &QProgressDialog::canceled, this, [this] { FCancel.Cancel(); });
    FProgress->show();
    QPointer<QProgressDialog> dialog = FProgress;
    auto progress = [this, dialog](const kiv::TExportProgress& p) {
        const double part = p.TotalMs ? double(p.DoneMs) / p.TotalMs : 1;
        const int value = static_cast<int>((p.Pass - 1 + part) / p.Passes * 1000);
        const double speed = p.ElapsedSeconds > 0 ? p.DoneMs / 1000.0 / p.ElapsedSeconds : 0;
        const QString label = Text(TText::ExportRunning) + "\n" + Clock(p.DoneMs) + " / " +
                              Clock(p.TotalMs) + QString::asprintf("   %.1f×", speed);
        // The worker never touches a widget: the window's thread sets them.
        QMetaObject::invokeMethod(
            this,
            [dialog, value, label] {
                if (!dialog) return;
                dialog->setValue(value);
                dialog->setLabelText(label);
            },
            Qt::QueuedConnection);
    };
    FWorker = std::thread([this, progress] {
        const kiv::TExportResult r = kiv::RunExport(FOptions, progress, FCancel);
        QMetaObject::invokeMethod(
            this, [this, r] { Finished(r); }, Qt::QueuedConnection);
    });
}

TExportRun::~TExportRun() {
    FCancel.Cancel();
    if (FWorker.joinable()) FWorker.join();
    delete FProgress;
}

void TExportRun::Finished(const kiv::TExportResult& r) {
    if (FWorker.joinable()) FWorker.join();
    FProgress->hide();
    if (r.Code == 0 && FOpenWhenDone)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(r.Output)));
    else if (r.Code != 0 && r.Code != kiv::kExportCancelled)
        QMessageBox::warning(FProgress->parentWidget(), Text(TText::ExportTitle),
                             QString::fromStdString(r.Message));
    if (Done) Done(r);
}

} // namespace kivplayer
