// The script host: a page's script around the control. `player` is the
// control's script binding; `host` is the page (output, timers, the widgets,
// the exit status).
#pragma once

#include "ui/script_binding.h"

#include <QJSEngine>
#include <QObject>
#include <QStringList>

#include <map>
#include <optional>

class QTimer;

namespace kiv::ui {
class TKivPlayerCtrl;
}

namespace kivplayer {

class TScriptHost : public QObject {
    Q_OBJECT

public:
    // Binds the control to the script until destroyed.
    explicit TScriptHost(kiv::ui::TKivPlayerCtrl& ctrl);
    ~TScriptHost() override;

    // Runs the file on this thread; false (and why) when it cannot be read.
    bool Run(const QString& path, std::string* error);
    // Set once the script asked to end (host.quit) or failed (3).
    std::optional<int> ExitCode() const { return FExitCode; }

    // What `host` calls; reached through the wrappers of Bootstrap.
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
    // The whole window the control is in, bar and menu too.
    Q_INVOKABLE bool grabWindow(const QString& path);

private:
    void Bootstrap();
    // Calls a script function from the event loop or an event; an error that
    // the script did not catch ends the process with status 3.
    QJSValue CallScript(QJSValue fn, const QJSValueList& args);
    void Fail(const QJSValue& error);
    int ScriptLine(const QJSValue& error) const;
    void End(int code);

    // Everything here belongs to the control's thread.
    kiv::ui::TKivPlayerCtrl& FCtrl;
    QJSEngine FEngine;
    kiv::ui::TScriptBinding FPlayer{FCtrl, FEngine};
    QString FPath;
    QStringList FLines; // of the script, for error reports
    std::map<int, QTimer*> FTimers;
    int FNextTimer = 1;
    std::optional<int> FExitCode;
};

} // namespace kivplayer
