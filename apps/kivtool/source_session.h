// Opens an address with its reading thread, exactly as the control does, and
// reads the whole sample area through it.
#pragma once

#include "buffers/play_context.h"
#include "platform/window_target.h"
#include "sources/fill_thread.h"

#include <functional>
#include <memory>
#include <string>

namespace kivtool {

class TSourceSession {
public:
    TSourceSession();
    ~TSourceSession();

    // 0, or the open result code after printing the failure line.
    int Open(const std::string& address);

    // Hands every record on in order, over the whole recording. False when the
    // source stopped delivering before the end; Failure() says where.
    bool ReadAll(const std::function<void(const uint8_t* record)>& consume);
    const std::string& Failure() const { return FFailure; }

    kiv::TPlayContext& Context() { return FContext; }
    kiv::TFillThread* Fill() { return FFill.get(); }
    const std::string& Address() const { return FAddress; }

private:
    kiv::TPlayContext FContext;
    kiv::TQueueWindow FWindow;
    std::unique_ptr<kiv::TFillThread> FFill;
    std::string FAddress;
    std::string FFailure;
};

} // namespace kivtool
