#include "platform/message_queue.h"

namespace kiv {

bool TMessageQueue::Post(uint32_t msg, intptr_t wParam, intptr_t lParam) {
    {
        std::lock_guard guard(FLock);
        if (FClosed) return false;
        FMessages.push_back({msg, wParam, lParam});
    }
    FCond.notify_one();
    return true;
}

bool TMessageQueue::Peek(TMessage& msg) {
    std::lock_guard guard(FLock);
    if (FMessages.empty()) return false;
    msg = FMessages.front();
    return true;
}

bool TMessageQueue::TryGet(TMessage& msg) {
    std::lock_guard guard(FLock);
    if (FMessages.empty()) return false;
    msg = FMessages.front();
    FMessages.pop_front();
    ++FTaken;
    return true;
}

size_t TMessageQueue::RemoveAll(uint32_t msg, TMessage& last) {
    std::lock_guard guard(FLock);
    size_t found = 0;
    for (auto it = FMessages.begin(); it != FMessages.end();) {
        if (it->Msg == msg) {
            last = *it;
            ++found;
            it = FMessages.erase(it);
        } else {
            ++it;
        }
    }
    return found;
}

void TMessageQueue::Get(TMessage& msg) {
    std::unique_lock guard(FLock);
    ++FWaiters;
    FCond.wait(guard, [this] { return !FMessages.empty(); });
    --FWaiters;
    msg = FMessages.front();
    FMessages.pop_front();
    ++FTaken;
}

bool TMessageQueue::Idle() {
    std::lock_guard guard(FLock);
    return FWaiters > 0 && FMessages.empty();
}

uint64_t TMessageQueue::Taken() {
    std::lock_guard guard(FLock);
    return FTaken;
}

bool TMessageQueue::WaitUntil(TClock::time_point deadline) {
    std::unique_lock guard(FLock);
    FCond.wait_until(guard, deadline, [this] { return !FMessages.empty() || FWoken; });
    FWoken = false;
    return !FMessages.empty();
}

void TMessageQueue::Wake() {
    {
        std::lock_guard guard(FLock);
        FWoken = true;
    }
    FCond.notify_all();
}

void TMessageQueue::Close() {
    std::lock_guard guard(FLock);
    FClosed = true;
    FMessages.clear();
}

bool TMessageQueue::Closed() {
    std::lock_guard guard(FLock);
    return FClosed;
}

size_t TMessageQueue::Size() {
    std::lock_guard guard(FLock);
    return FMessages.size();
}

} // namespace kiv
