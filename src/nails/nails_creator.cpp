#include "nails/nails_creator.h"

#include "nails/nail_block.h"
#include "nails/nail_file.h"
#include "nails/nails_index.h"
#include "platform/debug_log.h"
#include "platform/kiv_messages.h"

#include <sys/resource.h>
#include <unistd.h>

#include <exception>

namespace kiv {

void SetLowestThreadPriority() {
    // Linux keeps a nice value per thread; failure leaves the priority as it was.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

TNailsCreator::TNailsCreator(TWindowTarget& target, std::string folder, intptr_t tag)
    : FTarget(target), FFolder(std::move(folder)), FTag(tag) {}

TNailsCreator::~TNailsCreator() {
    FTerminated = true;
    WaitFor();
}

TNailsCreator::TCreated TNailsCreator::Take(intptr_t wParam) {
    std::lock_guard guard(FLock);
    auto it = FPending.find(wParam);
    if (it == FPending.end()) return {};
    TCreated created = std::move(it->second);
    FPending.erase(it);
    return created;
}

void TNailsCreator::Execute() {
    SetLowestThreadPriority();
    try {
        const TNailsIndex index = TNailsIndex::LoadFromFile(FFolder + kNailsIndexName);
        for (uint64_t line : SelectNailLines(index.Count())) {
            if (FTerminated) break;
            if (index.Blank(line)) break;
            const int32_t seconds = index.Seconds(line);
            const std::string_view name = index.FileName(line);
            const std::string path = FFolder + kNailsFolderName + "/" + std::string(name);
            TCreated created{MakeNailBlock(path, static_cast<uint32_t>(seconds)), {}};
            if (!created.Block) continue; // the path does not fit the block
            created.Picture = ReadNailPicture(FFolder, name);
            const auto wParam = reinterpret_cast<intptr_t>(created.Block.get());
            {
                std::lock_guard guard(FLock);
                FPending.emplace(wParam, std::move(created));
            }
            if (!FTarget.Post(WM_NAILCREATED, wParam, FTag)) break;
            ++FPosted;
        }
    } catch (const std::exception& e) {
        DebugLog(std::string("TNailsCreator.Execute raise:") + e.what());
    }
}

} // namespace kiv
