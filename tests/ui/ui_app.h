// One application object for every widget test, and waiting on events.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace kiv::test {

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "ui_test";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own globals may be gone by the time statics are.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs the event loop until done holds after an event, or ms pass (false).
class TWaiter {
public:
    bool Until(const std::function<bool()>& done, int ms = 20000) {
        if (done()) return true;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(ms);
        FDone = [&] {
            if (done()) loop.quit();
        };
        loop.exec();
        FDone = nullptr;
        return done();
    }
    // Called by the sinks whenever something arrives.
    void Notify() {
        if (FDone) FDone();
    }

private:
    std::function<void()> FDone;
};

} // namespace kiv::test
