#include "script_host.h"

#include "script_widgets.h"
#include "ui/kiv_player_ctrl.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLayout>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <utility>

using namespace kiv;

namespace kivplayer {

namespace {

// Builds `host` over the native object, each function a wrapper of its own.
const char kBootstrap[] = R"JS((function (native, hostFunctions) {
    const host = {};
    for (const f of hostFunctions) host[f] = (...args) => native[f](...args);
    host.invoke = (id, kind, ...args) => native.invoke(id, kind, args);
    return host;
}))JS";

const char* const kHostFunctions[] = {"print",       "setTimeout", "clearTimeout", "quit",
                                      "idOfName",    "widget",     "click",        "doubleClick",
                                      "rightClick",  "keyUp",      "typeChar",     "resize",
                                      "savePicture", "grab",       "grabWindow"};

const std::pair<const char*, uint16_t> kKinds[] = {
    {"get", DISPATCH_PROPERTYGET},
    {"put", DISPATCH_PROPERTYPUT},
    {"call", DISPATCH_METHOD},
};

} // namespace

TScriptHost::TScriptHost(ui::TKivPlayerCtrl& ctrl) : FCtrl(ctrl) {
    // The engine must never delete its host.
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    FEngine.installExtensions(QJSEngine::ConsoleExtension);
    FPlayer.CallHandler = [this](QJSValue fn, const QJSValueList& args) {
        return CallScript(std::move(fn), args);
    };
    Bootstrap();
}

TScriptHost::~TScriptHost() = default;

void TScriptHost::Bootstrap() {
    QJSValue functions = FEngine.newArray();
    quint32 i = 0;
    for (const char* f : kHostFunctions)
        functions.setProperty(i++, f);
    FEngine.globalObject().setProperty("player", FPlayer.Player());
    FEngine.globalObject().setProperty(
        "host", FEngine.evaluate(kBootstrap).call({FEngine.newQObject(this), functions}));
}

bool TScriptHost::Run(const QString& path, std::string* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "cannot read the script " + path.toStdString();
        return false;
    }
    const QString source = QString::fromUtf8(file.readAll());
    FPath = QFileInfo(path).absoluteFilePath();
    FLines = source.split('\n');
    const QJSValue result = FEngine.evaluate(source, FPath, 1);
    if (result.isError()) Fail(result);
    return true;
}

QJSValue TScriptHost::CallScript(QJSValue fn, const QJSValueList& args) {
    if (FExitCode == 3) return {};
    const QJSValue r = fn.call(args);
    if (r.isError()) {
        Fail(r);
        return {};
    }
    return r;
}

int TScriptHost::ScriptLine(const QJSValue& error) const {
    // The innermost frame of the page itself: a failing member throws from
    // inside the host's own wrappers. Frames read "function@file:///path:line".
    const QString file = QUrl::fromLocalFile(FPath).toString();
    for (const QString& frame : error.property("stack").toString().split('\n')) {
        const QString where = frame.mid(frame.lastIndexOf('@') + 1);
        const qsizetype colon = where.lastIndexOf(':');
        if (colon > 0 && where.left(colon) == file) return where.mid(colon + 1).toInt();
    }
    return error.property("lineNumber").toInt();
}

void TScriptHost::Fail(const QJSValue& error) {
    if (FExitCode == 3) return;
    const QString message =
        error.isError() ? error.property("message").toString() : error.toString();
    const int line = ScriptLine(error);
    std::fprintf(stderr, "kivplayer: %s:%d: %s\n", qPrintable(FPath), line, qPrintable(message));
    if (line >= 1 && line <= FLines.size())
        std::fprintf(stderr, "    %s\n", qPrintable(FLines[line - 1].trimmed()));
    std::fflush(stderr);
    End(3);
}

void TScriptHost::End(int code) {
    // An error the script did not catch outweighs a quit asked for before it.
    const bool ending = FExitCode.has_value();
    if (ending && code != 3) return;
    FExitCode = code;
    for (auto& [id, t] : FTimers)
        delete t;
    FTimers.clear();
    if (ending) return;
    // Once the script has returned to the event loop.
    QMetaObject::invokeMethod(
        this, [this] { QCoreApplication::exit(*FExitCode); }, Qt::QueuedConnection);
}

void TScriptHost::print(const QString& text) {
    std::fputs(qPrintable(text + '\n'), stdout);
    std::fflush(stdout);
}

int TScriptHost::setTimeout(const QJSValue& fn, int ms) {
    if (!fn.isCallable() || FExitCode) return 0;
    const int id = FNextTimer++;
    auto* t = new QTimer(this);
    t->setSingleShot(true);
    connect(t, &QTimer::timeout, this, [this, id, fn] {
        const auto it = FTimers.find(id);
        if (it == FTimers.end()) return;
        it->second->deleteLater();
        FTimers.erase(it);
        CallScript(fn, {});
    });
    FTimers[id] = t;
    t->start(std::max(ms, 0));
    return id;
}

void TScriptHost::clearTimeout(int id) {
    const auto it = FTimers.find(id);
    if (it == FTimers.end()) return;
    delete it->second;
    FTimers.erase(it);
}

void TScriptHost::quit(int code) {
    End(code);
}

int TScriptHost::idOfName(const QString& name) {
    const std::string n = name.toStdString();
    for (const DISPID id : {MemberIdOfName(n), IdOfName(NavigationMembers(), n), EventIdOfName(n)})
        if (id != DISPID_UNKNOWN) return id;
    return IdOfName(NavigationEvents(), n);
}

QJSValue TScriptHost::invoke(int id, const QString& kind, const QJSValue& args) {
    uint16_t flags = 0;
    for (const auto& [name, k] : kKinds)
        if (kind == name) flags = k;
    if (!flags) {
        FEngine.throwError(QJSValue::TypeError, "invoke: kind is get, put or call");
        return {};
    }
    SetErrorInfo({});
    TVariant value;
    const HRESULT hr = kiv::Invoke(FCtrl.Automation(), FCtrl.Navigation(), id, flags,
                                   FPlayer.ArgsOf(args), &value);
    QJSValue r = FEngine.newObject();
    r.setProperty("hr", hr);
    r.setProperty("value", FPlayer.ToScript(value, id));
    r.setProperty("error", hr == S_OK ? QString() : QString::fromStdString(GetErrorInfo()));
    return r;
}

QJSValue TScriptHost::widget(const QString& name) {
    QObject* o = FindNamed(FCtrl, name);
    if (!o) return QJSValue(QJSValue::NullValue);
    const TWidgetInfo info = Describe(*o);
    QJSValue r = FEngine.newObject();
    r.setProperty("x", info.Geometry.x());
    r.setProperty("y", info.Geometry.y());
    r.setProperty("width", info.Geometry.width());
    r.setProperty("height", info.Geometry.height());
    r.setProperty("visible", info.Visible);
    r.setProperty("text", info.Text);
    r.setProperty("checked", info.Checked);
    r.setProperty("enabled", info.Enabled);
    r.setProperty("color", info.Color);
    r.setProperty("bold", info.Bold);
    return r;
}

bool TScriptHost::click(const QString& name) {
    QObject* o = FindNamed(FCtrl, name);
    return o && Click(*o, TClick::Left);
}

bool TScriptHost::doubleClick(const QString& name) {
    QObject* o = FindNamed(FCtrl, name);
    return o && Click(*o, TClick::Double);
}

bool TScriptHost::rightClick(const QString& name) {
    QObject* o = FindNamed(FCtrl, name);
    return o && Click(*o, TClick::Right);
}

bool TScriptHost::keyUp(const QString& name, int key) {
    QObject* o = FindNamed(FCtrl, name);
    return o && KeyUp(*o, key);
}

bool TScriptHost::typeChar(const QString& name, const QString& text) {
    QObject* o = FindNamed(FCtrl, name);
    return o && TypeChars(*o, text);
}

void TScriptHost::resize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    QWidget* window = FCtrl.window();
    if (window == &FCtrl) {
        FCtrl.resize(width, height);
        return;
    }
    // The control keeps the size asked for (until the next resize); the window
    // is sized around it.
    FCtrl.setFixedSize(width, height);
    if (window->layout()) window->layout()->activate();
    window->adjustSize();
}

bool TScriptHost::savePicture(const QString& path) {
    return FCtrl.Picture()->Bitmap().save(path, "PNG");
}

bool TScriptHost::grab(const QString& path) {
    return FCtrl.grab().save(path, "PNG");
}

bool TScriptHost::grabWindow(const QString& path) {
    return FCtrl.window()->grab().save(path, "PNG");
}

} // namespace kivplayer
