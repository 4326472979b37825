// Where the control's events go: the embedding program's sink, a late-bound
// sink through the dispatch layer, then the Qt face. Each sees the key the one
// before it left.
#pragma once

#include "control/dispatch.h"

namespace kiv::ui {

class TCtrlEvents : public IKivPlayerEvents {
public:
    // All three belong to the control's thread; each may be null.
    IKivPlayerEvents* Host = nullptr;
    TEventDispatcher Dispatch; // connected when a host attaches an IDispatchSink
    IKivPlayerEvents* Face = nullptr;

    void OnActivate() override {
        Each([](IKivPlayerEvents& e) { e.OnActivate(); });
    }
    void OnClick() override {
        Each([](IKivPlayerEvents& e) { e.OnClick(); });
    }
    void OnCreate() override {
        Each([](IKivPlayerEvents& e) { e.OnCreate(); });
    }
    void OnDblClick() override {
        Each([](IKivPlayerEvents& e) { e.OnDblClick(); });
    }
    void OnDestroy() override {
        Each([](IKivPlayerEvents& e) { e.OnDestroy(); });
    }
    void OnDeactivate() override {
        Each([](IKivPlayerEvents& e) { e.OnDeactivate(); });
    }
    void OnKeyPress(int16_t& key) override {
        Each([&key](IKivPlayerEvents& e) { e.OnKeyPress(key); });
    }
    void OnPaint() override {
        Each([](IKivPlayerEvents& e) { e.OnPaint(); });
    }
    void OnSkip(int32_t s) override {
        Each([s](IKivPlayerEvents& e) { e.OnSkip(s); });
    }
    void OnPlayStateChanged(TStatus s) override {
        Each([s](IKivPlayerEvents& e) { e.OnPlayStateChanged(s); });
    }
    void OnPositionChanged(int32_t ms) override {
        Each([ms](IKivPlayerEvents& e) { e.OnPositionChanged(ms); });
    }
    void OnDisplayModeChanged(TDisplayMode m) override {
        Each([m](IKivPlayerEvents& e) { e.OnDisplayModeChanged(m); });
    }

private:
    template <class F> void Each(const F& f) {
        if (Host) f(*Host);
        f(Dispatch);
        if (Face) f(*Face);
    }
};

} // namespace kiv::ui
