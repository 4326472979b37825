#include "platform/thread.h"

#include <unistd.h>

namespace kiv {

TThread::~TThread() {
    // A thread still running here would touch a destroyed object; end it rather than crash.
    if (FThread.joinable()) {
        Quit();
        FThread.join();
    }
}

void TThread::Start() {
    FThread = std::thread([this] { Run(); });
}

void TThread::Run() {
    FThreadId = static_cast<int>(gettid());
    try {
        Execute();
    } catch (...) {
        // Execute catches what it can log; nothing may escape a thread.
    }
    FQueue.Close();
    FFinished = true;
}

void TThread::WaitFor() {
    if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

bool TThread::GetMessage(TMessage& msg) {
    FQueue.Get(msg);
    return msg.Msg != WM_QUIT;
}

} // namespace kiv
