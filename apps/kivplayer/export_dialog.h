// File → Export…: the format, range, size and speed of an export, then the
// export itself on a worker thread behind a progress dialog with Cancel, the
// window staying usable meanwhile.
#pragma once

#include "export/exporter.h"
#include "format/activity.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressDialog;

namespace kivplayer {

// What the window knows when the dialog opens.
struct TExportSource {
    std::string Address;
    uint32_t Duration = 0, Position = 0;
    std::vector<kiv::TMarker> Markers;
    double Rate = 1;
    bool SkipIdle = false;
};

class TExportDialog : public QDialog {
public:
    TExportDialog(QWidget* parent, TExportSource source);
    // The options as the dialog's fields set them.
    kiv::TExportOptions Options() const;
    bool OpenWhenDone() const;

private:
    void FormatChosen();
    void RangeChosen();

    TExportSource FSource;
    QComboBox* FFormat;
    QComboBox* FRange;
    QComboBox* FFromMarker;
    QComboBox* FToMarker;
    QComboBox* FSize;
    QComboBox* FSpeed;
    QCheckBox* FSkipIdle;
    QCheckBox* FNoPointer;
    QCheckBox* FOpenWhenDone;
    QLineEdit* FOutput;
};

// One export under way: the worker thread, its progress dialog and its end.
class TExportRun : public QObject {
public:
    // Done runs on the window's thread with the result once the worker ended.
    TExportRun(QWidget* parent, kiv::TExportOptions options, bool openWhenDone);
    // Cancels and waits for the worker (it stops within a frame).
    ~TExportRun() override;
    std::function<void(const kiv::TExportResult&)> Done;
    QProgressDialog* Progress() const { return FProgress; }
    void Cancel() { FCancel.Cancel(); }

private:
    void Finished(const kiv::TExportResult& r);

    kiv::TExportOptions FOptions; // read by the worker only while it runs
    bool FOpenWhenDone;
    kiv::TExportCancel FCancel; // any thread
    QProgressDialog* FProgress; // the window's thread
    std::thread FWorker;
};

} // namespace kivplayer
