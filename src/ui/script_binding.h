// The control in a script engine (a QJSEngine, a QQmlEngine's included): the
// object `player`, made from the member table, reaches every member of the
// automation interface by name through the dispatch layer (properties as
// script properties, methods as functions, Font as a live object), and the
// events by name through attachEvent/detachEvent. A member that fails throws
// an Error whose message is the failure text.
#pragma once

#include "control/dispatch.h"

#include <QJSEngine>
#include <QJSValue>
#include <QObject>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace kiv::ui {

class TKivPlayerCtrl;

class TScriptBinding : public QObject, public IDispatchSink {
    Q_OBJECT

public:
    // Becomes ctrl's late-bound event sink until destroyed; ctrl and engine
    // outlive it.
    TScriptBinding(TKivPlayerCtrl& ctrl, QJSEngine& engine);
    ~TScriptBinding() override;

    // What the script is given, e.g. as its global `player`.
    QJSValue Player() const { return FPlayer; }
    // Runs an event's handler. By default a handler's uncaught error is only
    // logged; a host may end the script there instead.
    std::function<QJSValue(QJSValue handler, const QJSValueList& args)> CallHandler;

    // A member's value as the script sees it (id: which member gave it), and
    // a script array as the dispatch layer's arguments.
    QJSValue ToScript(const TVariant& v, DISPID id);
    std::vector<TVariant> ArgsOf(const QJSValue& array);

    // The control's events, by DISPID, to the handlers attached.
    HRESULT Invoke(DISPID id, std::vector<TVariant>& args) override;

    // The native side of `player`, reached through its accessors.
    Q_INVOKABLE QJSValue get(int id);
    Q_INVOKABLE void put(int id, const QJSValue& value);
    Q_INVOKABLE QJSValue call(int id, const QJSValue& args);
    Q_INVOKABLE QJSValue fontField(const QString& field);
    Q_INVOKABLE void setFontField(const QString& field, const QJSValue& value);
    Q_INVOKABLE void putFont(const QJSValue& font);
    Q_INVOKABLE bool attachEvent(const QString& name, const QJSValue& handler);
    Q_INVOKABLE bool detachEvent(const QString& name, const QJSValue& handler);

private:
    // A member through Invoke; a failure is thrown into the script.
    std::optional<TVariant> Dispatch(int id, uint16_t kind, std::vector<TVariant> args);
    TVariant FromScript(const QJSValue& v);

    // Everything here belongs to the control's thread.
    TKivPlayerCtrl& FCtrl;
    QJSEngine& FEngine;
    QJSValue FPlayer;
    std::map<DISPID, std::vector<QJSValue>> FHandlers;
};

} // namespace kiv::ui
