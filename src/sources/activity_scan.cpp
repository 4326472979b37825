#include "sources/activity_scan.h"

#include "format/recording_reader.h"
#include "platform/debug_log.h"
#include "platform/kiv_messages.h"

#include <exception>

namespace kiv {

TActivityScan::TActivityScan(std::string path, TActivity& activity, TWindowTarget* window)
    : FPath(std::move(path)), FActivity(activity), FWindow(window) {
    FActivity.BeginScan();
    Start();
}

TActivityScan::~TActivityScan() {
    FAbort = true;
    WaitFor();
}

void TActivityScan::Execute() {
    try {
        TFileStream stream(FPath);
        const TOpenedRecording opened = OpenRecording(stream);
        if (opened.Code == 0) {
            stream.Seek(opened.DataStart, soBeginning);
            ScanRecordHeaders(
                stream, opened.Header,
                [&](const TSampleHeader& h, const std::string& text) {
                    FActivity.NoteScanned(h, text);
                },
                FAbort);
        }
    } catch (const std::exception& e) {
        DebugLog(std::string("TActivityScan raise:") + e.what());
    }
    FActivity.EndScan();
    if (FWindow && !FAbort) FWindow->Post(WM_ACTIVITYSCANNED, 0, 0);
}

} // namespace kiv
