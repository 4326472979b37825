// TNailsFrame (frmNails): the thumbnail strip under the picture. Up to 120
// cells in a grid that re-flows with the width, the cell of the moment played
// highlighted, clicks reported to the host. The thumbnails and the re-flow
// steps come from the core's notices; every cell is made and moved here, on
// the control's thread.
#pragma once

#include "nails/nail_grid.h"
#include "nails/nails_index.h"
#include "ui/nail.h"

#include <QPointer>
#include <QScrollArea>
#include <QTimer>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <string>

namespace kiv::ui {

class TNailsFrame : public QScrollArea {
public:
    explicit TNailsFrame(QWidget* parent);
    ~TNailsFrame() override;

    // Empties and hides the strip; thumbnails still queued are dropped.
    void Reset();
    // One thumbnail (its picture read from path already); shows the strip with the first.
    void AddNail(const std::string& path, int32_t seconds, const TThumbnailPicture& picture);
    // AddNail soon: the creator's thumbnails arrive faster than cells are made,
    // so they are made a few milliseconds' worth per pass of the event loop.
    void QueueNail(const std::string& path, int32_t seconds, TThumbnailPicture picture);
    // Places cell index after cell index - 1: one step of a re-flow.
    void LayoutNail(int32_t index);
    // Highlights the last cell not after seconds, its row scrolled to the top.
    void SelectNailByTime(int32_t seconds);
    void ClearNails();

    // The strip's colour (NailBackgroundColor).
    void SetBackgroundColor(const QColor& color);
    void setVisible(bool visible) override;

    int32_t NailCount() const { return FNailCount; }
    TNail* Nail(int32_t index) const;
    TNail* CurrentNail() const { return FCurrentNail; }
    int32_t Columns() const { return FColumns; }
    QWidget* Splitter() const { return FSplitter; }

    // The host's OnSkip: a cell was clicked (seconds its time).
    std::function<void(int32_t seconds)> OnSkip;
    // The highlighted cell changed; a cell was added (for hosts that follow the strip).
    std::function<void(TNail*)> CurrentChanged;
    std::function<void()> NailAdded;
    // The width changed the columns: the count cells re-flow, one LayoutNail
    // step at a time, as the core tells.
    std::function<void(int32_t count)> OnRelayout;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    int32_t ComputeColumns() const;
    void PlaceAfter(int32_t index);
    void FitCanvas();
    void MakeCurrent(TNail* nail);
    void NailClick(TNail& nail);
    void ShowSplitter();
    void AddQueuedNails();

    // Every field belongs to the control's thread.
    QWidget* FCanvas;
    int32_t FNailCount = 0;
    std::array<std::unique_ptr<TNail>, kMaxNailsShown> FNails;
    TNail* FCurrentNail = nullptr;
    int32_t FColumns = 1;
    QPointer<QWidget> FSplitter;
    struct TQueued {
        std::string Path;
        int32_t Seconds;
        TThumbnailPicture Picture;
    };
    std::deque<TQueued> FQueued;
    QTimer FQueueTimer;
};

} // namespace kiv::ui
