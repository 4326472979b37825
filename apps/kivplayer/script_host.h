// The script host: a page's script around the control. `player` reaches every
// member of IKivPlayer by name through the dispatch layer and receives its
// events; `host` is the page (output, timers, the widgets, the exit status).
#pragma once

#include "control/dispatch.h"

#include <QJSEngine>
#include <QObject>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

class QTimer;

namespace kiv::ui {
class TKivPlayerCtrl;
}

namespace kivplayer {

class TScriptHost : public QObject, public kiv::IDispatchSink {
    Q_OBJECT

public:
    // Attaches itself to ctrl as its late-bound event sink until destroyed.
    explicit TScriptHost(kiv::ui::TKivPlayerCtrl& ctrl);
    ~TScriptHost() override;

    // Runs the file on this thread; false (and why) when it cannot be read.
    bool Run(const QString& path, std::string* error);
    // Set once the script asked to end (host.quit) or failed (3).
    std::optional<int> ExitCode() const { return FExitCode; }

    // The control's events, by DISPID.
    kiv::HRESULT Invoke(kiv::DISPID id, std::vector<kiv::TVariant>& args) override;

    // What the script's objects call; reached through the wrappers of Bootstrap.
    Q_INVOKABLE QJSValue get(int id);
    Q_INVOKABLE void put(int id, const QJSValue& value);
    Q_INVOKABLE QJSValue call(int id, const QJSValue& args);
    Q_INVOKABLE QJSValue fontField(const QString& field);
    Q_INVOKABLE void setFontField(const QString& field, const QJSValue& value);
    Q_INVOKABLE void putFont(const QJSValue& font);
    Q_INVOKABLE bool attachEvent(const QString& name, const QJSValue& handler);
    Q_INVOKABLE bool detachEvent(const QString& name, const QJSValue& handler);

    Q_INVOKABLE void print(const QString& text);
    Q_INVOKABLE int setTimeout(const QJSValue& fn, int ms);
    Q_INVOKABLE void clearTimeout(int id);
    Q_INVOKABLE void quit(int code);
    Q_INVOKABLE int idOfName(const QString& name);
    Q_INVOKABLE QJSValue invoke(int id, const QString& kind, const QJSValue& args);
    Q_INVOKABLE QJSValue widget(const QString& name);
    Q_INVOKABLE bool click(const QString& name);
    Q_INVOKABLE bool doubleClick(const QString& name);
    Q_INVOKABLE bool rightClick(const QString& name);
    Q_INVOKABLE bool keyUp(const QString& name, int key);
    Q_INVOKABLE bool typeChar(const QString& name, const QString& text);
    Q_INVOKABLE void resize(int width, int height);
    Q_INVOKABLE bool savePicture(const QString& path);
    Q_INVOKABLE bool grab(const QString& path);

private:
    void Bootstrap();
    // A member through Invoke; a failure is thrown into the script.
    std::optional<kiv::TVariant> Dispatch(int id, uint16_t kind, std::vector<kiv::TVariant> args);
    QJSValue ToScript(const kiv::TVariant& v, int id);
    kiv::TVariant FromScript(const QJSValue& v);
    std::vector<kiv::TVariant> ArgsOf(const QJSValue& array);
    // Calls a script function from the event loop or an event; an error that
    // the script did not catch ends the process with status 3.
    QJSValue CallScript(QJSValue fn, const QJSValueList& args);
    void Fail(const QJSValue& error);
    int ScriptLine(const QJSValue& error) const;
    void End(int code);

    // Everything here belongs to the control's thread.
    kiv::ui::TKivPlayerCtrl& FCtrl;
    QJSEngine FEngine;
    QString FPath;
    QStringList FLines; // of the script, for error reports
    std::map<kiv::DISPID, std::vector<QJSValue>> FHandlers;
    std::map<int, QTimer*> FTimers;
    int FNextTimer = 1;
    std::optional<int> FExitCode;
};

} // namespace kivplayer
