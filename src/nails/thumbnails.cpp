#include "nails/thumbnails.h"

#include "nails/nail_block.h"
#include "nails/nails_creator.h"
#include "nails/nails_download.h"
#include "nails/nails_index.h"
#include "nails/nails_layout.h"
#include "net/address.h"
#include "platform/kiv_messages.h"

#include <filesystem>

namespace kiv {
namespace {

class TThumbnails : public IThumbnails {
public:
    ~TThumbnails() override {
        // Both post to the window, which outlives this.
        FDownload.reset();
        FCreator.reset();
        EndLayoutThread();
    }

    void Attach(TWindowTarget& window, IControlView& view) override {
        FWindow = &window;
        FView = &view;
    }

    void Load(const std::string& url, const std::string& cacheFolder) override {
        if (IsNetworkAddress(url)) {
            FDownload.reset();
            FDownloadFolder = cacheFolder;
            FDownload = std::make_unique<TDownload>(*FWindow, NailsFolderOf(url), cacheFolder,
                                                    ++FDownloadTag);
            FDownload->Start();
            return;
        }
        const std::string folder = NailsFolderOf(url);
        std::error_code ec;
        if (std::filesystem::is_regular_file(folder + kNailsIndexName, ec)) StartCreator(folder);
    }

    void Stop() override {
        FDownload.reset();
        FCreator.reset();
        FView->ThumbnailsCleared();
    }

    void Relayout(int32_t count) override {
        if (!FLayout) FLayout = std::make_unique<TNailsLayout>(*FWindow);
        FLayout->RequestLayout(count);
    }

    bool HandleMessage(const TMessage& m) override {
        switch (m.Msg) {
        case WM_NAILCREATED:
            OnNailCreated(m);
            return true;
        case WM_NAILLAYOUT:
            OnNailLayout(m);
            return true;
        case WM_NAILSDOWNLOADED:
            // A notice of a download freed meanwhile is an earlier recording's.
            if (FDownload && m.LParam == FDownloadTag) {
                FView->ThumbnailsDownloaded();
                StartCreator(FDownloadFolder);
            }
            return true;
        default:
            return false;
        }
    }

private:
    void StartCreator(const std::string& folder) {
        FCreator.reset();
        FView->ThumbnailsCleared();
        FCreator = std::make_unique<TNailsCreator>(*FWindow, folder, ++FCreatorTag);
        FCreator->Start();
    }

    void OnNailCreated(const TMessage& m) {
        // Blocks of a creator freed meanwhile went with it.
        if (!FCreator || m.LParam != FCreatorTag) return;
        TNailsCreator::TCreated created = FCreator->Take(m.WParam);
        if (!created.Block) return;
        std::string path;
        uint32_t seconds = 0;
        ReadNailBlock(created.Block.get(), path, seconds);
        FView->ThumbnailAdded(path, static_cast<int32_t>(seconds), std::move(created.Picture));
    }

    void OnNailLayout(const TMessage& m) {
        // The layout thread waits for this step; it is released even when the step fails.
        struct TRelease {
            ~TRelease() { LayoutNailEvent().Signal(); }
        } release;
        FView->ThumbnailLayoutStep(static_cast<int32_t>(m.WParam));
    }

    void EndLayoutThread() {
        if (!FLayout) return;
        // A step may be waiting for an acknowledgement that will never come.
        FLayout->Quit();
        LayoutNailEvent().Signal();
        FLayout.reset();
        // Not taken when the thread was idle: the next layout thread must not find
        // it set and post a second step before the first is done.
        LayoutNailEvent().Wait(0);
    }

    // Every field belongs to the core's thread.
    TWindowTarget* FWindow = nullptr;
    IControlView* FView = nullptr;
    std::unique_ptr<TDownload> FDownload;
    intptr_t FDownloadTag = 0; // tells its notice from an earlier download's
    std::string FDownloadFolder;
    std::unique_ptr<TNailsCreator> FCreator;
    intptr_t FCreatorTag = 0; // tells its blocks from an earlier creator's
    std::unique_ptr<TNailsLayout> FLayout;
};

} // namespace

std::unique_ptr<IThumbnails> NewThumbnails() {
    return std::make_unique<TThumbnails>();
}

} // namespace kiv
