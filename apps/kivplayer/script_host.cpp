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
#include <cstring>

using namespace kiv;

namespace kivplayer {

namespace {

// Builds `player` and `host` over the native object: properties as accessors,
// methods as functions, the font as a live object.
const char kBootstrap[] = R"JS((function (native, members, fontFields, hostFunctions) {
    const player = {};
    for (const m of members) {
        if (m.method) {
            player[m.name] = (...args) => native.call(m.id, args);
        } else if (m.font) {
            Object.defineProperty(player, m.name, {
                enumerable: true,
                get: () => {
                    const font = {};
                    for (const f of fontFields)
                        Object.defineProperty(font, f, {
                            enumerable: true,
                            get: () => native.fontField(f),
                            set: v => native.setFontField(f, v),
                        });
                    return font;
                },
                set: v => native.putFont(v),
            });
        } else {
            Object.defineProperty(player, m.name, {
                enumerable: true,
                get: () => native.get(m.id),
                set: v => native.put(m.id, v),
            });
        }
    }
    player.attachEvent = (name, handler) => native.attachEvent(name, handler);
    player.detachEvent = (name, handler) => native.detachEvent(name, handler);
    const host = {};
    for (const f of hostFunctions) host[f] = (...args) => native[f](...args);
    host.invoke = (id, kind, ...args) => native.invoke(id, kind, args);
    return [player, host];
}))JS";

const char* const kHostFunctions[] = {
    "print",       "setTimeout", "clearTimeout", "quit",     "idOfName", "widget",      "click",
    "doubleClick", "rightClick", "keyUp",        "typeChar", "resize",   "savePicture", "grab"};

// The font object's fields, as the OLE font names them.
struct TFontField {
    const char* Name;
    QJSValue (*Get)(const IFontDisp&);
    void (*Set)(IFontDisp&, const QJSValue&);
};
const TFontField kFontFields[] = {
    {"Name", [](const IFontDisp& f) { return QJSValue(QString::fromStdString(f.Name)); },
     [](IFontDisp& f, const QJSValue& v) { f.Name = v.toString().toStdString(); }},
    {"Size", [](const IFontDisp& f) { return QJSValue(f.Size); },
     [](IFontDisp& f, const QJSValue& v) { f.Size = v.toInt(); }},
    {"Bold", [](const IFontDisp& f) { return QJSValue(f.Bold); },
     [](IFontDisp& f, const QJSValue& v) { f.Bold = v.toBool(); }},
    {"Italic", [](const IFontDisp& f) { return QJSValue(f.Italic); },
     [](IFontDisp& f, const QJSValue& v) { f.Italic = v.toBool(); }},
    {"Underline", [](const IFontDisp& f) { return QJSValue(f.Underline); },
     [](IFontDisp& f, const QJSValue& v) { f.Underline = v.toBool(); }},
    {"Strikethrough", [](const IFontDisp& f) { return QJSValue(f.Strikethrough); },
     [](IFontDisp& f, const QJSValue& v) { f.Strikethrough = v.toBool(); }},
    {"Charset", [](const IFontDisp& f) { return QJSValue(f.Charset); },
     [](IFontDisp& f, const QJSValue& v) { f.Charset = static_cast<int16_t>(v.toInt()); }},
};
const TFontField* FontField(const QString& name) {
    for (const TFontField& f : kFontFields)
        if (name == f.Name) return &f;
    return nullptr;
}

// The dispatch layer's own failures, as automation words them.
const std::pair<HRESULT, const char*> kDispatchErrors[] = {
    {DISP_E_MEMBERNOTFOUND, "Member not found"},
    {DISP_E_TYPEMISMATCH, "Type mismatch"},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters"},
    {DISP_E_UNKNOWNNAME, "Unknown name"},
};
std::string TextOf(HRESULT hr) {
    if (hr == E_UNEXPECTED) return GetErrorInfo();
    for (const auto& [code, text] : kDispatchErrors)
        if (code == hr) return text;
    char text[32];
    std::snprintf(text, sizeof text, "HRESULT 0x%08X", static_cast<unsigned>(hr));
    return text;
}

const std::pair<const char*, uint16_t> kKinds[] = {
    {"get", DISPATCH_PROPERTYGET},
    {"put", DISPATCH_PROPERTYPUT},
    {"call", DISPATCH_METHOD},
};

constexpr DISPID kFont = -512;

} // namespace

TScriptHost::TScriptHost(ui::TKivPlayerCtrl& ctrl) : FCtrl(ctrl) {
    // The engine must never delete its host.
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    FEngine.installExtensions(QJSEngine::ConsoleExtension);
    FCtrl.SetDispatchSink(this);
    Bootstrap();
}

TScriptHost::~TScriptHost() {
    FCtrl.SetDispatchSink(nullptr);
}

void TScriptHost::Bootstrap() {
    QJSValue members = FEngine.newArray();
    quint32 i = 0;
    for (const TMemberInfo& m : KivPlayerMembers()) {
        QJSValue d = FEngine.newObject();
        d.setProperty("name", m.Name);
        d.setProperty("id", m.DispId);
        d.setProperty("method", m.Access == maMethod);
        d.setProperty("font", m.DispId == kFont);
        members.setProperty(i++, d);
    }
    QJSValue fields = FEngine.newArray();
    i = 0;
    for (const TFontField& f : kFontFields)
        fields.setProperty(i++, f.Name);
    QJSValue functions = FEngine.newArray();
    i = 0;
    for (const char* f : kHostFunctions)
        functions.setProperty(i++, f);
    QJSValue made =
        FEngine.evaluate(kBootstrap).call({FEngine.newQObject(this), members, fields, functions});
    FEngine.globalObject().setProperty("player", made.property(0));
    FEngine.globalObject().setProperty("host", made.property(1));
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

std::optional<TVariant> TScriptHost::Dispatch(int id, uint16_t kind, std::vector<TVariant> args) {
    SetErrorInfo({});
    TVariant result;
    const HRESULT hr = kiv::Invoke(FCtrl.Automation(), id, kind, args, &result);
    if (hr == S_OK) return result;
    FEngine.throwError(QString::fromStdString(TextOf(hr)));
    return std::nullopt;
}

QJSValue TScriptHost::ToScript(const TVariant& v, int id) {
    switch (v.Type) {
    case VT_BOOL:
        return QJSValue(v.Int != 0);
    case VT_I2:
    case VT_I4: {
        const TMemberInfo* m = FindMember(id);
        if (m && std::strcmp(m->TypeName, "OLE_COLOR") == 0)
            return QJSValue(static_cast<uint>(v.Int));
        return QJSValue(v.Int);
    }
    case VT_BSTR:
        return QJSValue(QString::fromStdString(v.Text));
    case VT_DISPATCH: {
        QJSValue font = FEngine.newObject();
        if (v.Font)
            for (const TFontField& f : kFontFields)
                font.setProperty(f.Name, f.Get(*v.Font));
        return font;
    }
    default:
        return QJSValue(QJSValue::UndefinedValue);
    }
}

TVariant TScriptHost::FromScript(const QJSValue& v) {
    if (v.isBool()) return TVariant::Bool(v.toBool());
    // As the language converts to 32 bits: 0xFF00FF00 keeps its bits.
    if (v.isNumber()) return TVariant::I4(v.toInt());
    if (v.isUndefined() || v.isNull()) return {};
    if (v.isObject() && !v.isArray() && !v.isString()) {
        auto font = std::make_shared<IFontDisp>();
        for (const TFontField& f : kFontFields)
            if (v.hasProperty(f.Name)) f.Set(*font, v.property(f.Name));
        return TVariant::Object(font);
    }
    return TVariant::Str(v.toString().toStdString());
}

std::vector<TVariant> TScriptHost::ArgsOf(const QJSValue& array) {
    std::vector<TVariant> args;
    const int n = array.property("length").toInt();
    for (int i = 0; i < n; ++i)
        args.push_back(FromScript(array.property(quint32(i))));
    return args;
}

QJSValue TScriptHost::get(int id) {
    const auto v = Dispatch(id, DISPATCH_PROPERTYGET, {});
    return v ? ToScript(*v, id) : QJSValue();
}

void TScriptHost::put(int id, const QJSValue& value) {
    Dispatch(id, DISPATCH_PROPERTYPUT, {FromScript(value)});
}

QJSValue TScriptHost::call(int id, const QJSValue& args) {
    const auto v = Dispatch(id, DISPATCH_METHOD, ArgsOf(args));
    return v ? ToScript(*v, id) : QJSValue();
}

QJSValue TScriptHost::fontField(const QString& field) {
    const TFontField* f = FontField(field);
    const auto v = Dispatch(kFont, DISPATCH_PROPERTYGET, {});
    if (!f || !v || !v->Font) return QJSValue();
    return f->Get(*v->Font);
}

void TScriptHost::setFontField(const QString& field, const QJSValue& value) {
    const TFontField* f = FontField(field);
    const auto v = Dispatch(kFont, DISPATCH_PROPERTYGET, {});
    if (!f || !v || !v->Font) return;
    // The control is told of the change by getting the font back.
    auto font = std::make_shared<IFontDisp>(*v->Font);
    f->Set(*font, value);
    Dispatch(kFont, DISPATCH_PROPERTYPUT, {TVariant::Object(font)});
}

void TScriptHost::putFont(const QJSValue& value) {
    const auto v = Dispatch(kFont, DISPATCH_PROPERTYGET, {});
    if (!v || !v->Font) return;
    auto font = std::make_shared<IFontDisp>(*v->Font);
    for (const TFontField& f : kFontFields)
        if (value.hasProperty(f.Name)) f.Set(*font, value.property(f.Name));
    Dispatch(kFont, DISPATCH_PROPERTYPUT, {TVariant::Object(font)});
}

bool TScriptHost::attachEvent(const QString& name, const QJSValue& handler) {
    const DISPID id = EventIdOfName(name.toStdString());
    if (id == DISPID_UNKNOWN || !handler.isCallable()) return false;
    FHandlers[id].push_back(handler);
    return true;
}

bool TScriptHost::detachEvent(const QString& name, const QJSValue& handler) {
    auto it = FHandlers.find(EventIdOfName(name.toStdString()));
    if (it == FHandlers.end()) return false;
    for (auto h = it->second.begin(); h != it->second.end(); ++h)
        if (h->strictlyEquals(handler)) {
            it->second.erase(h);
            return true;
        }
    return false;
}

HRESULT TScriptHost::Invoke(DISPID id, std::vector<TVariant>& args) {
    const auto it = FHandlers.find(id);
    if (it == FHandlers.end()) return S_OK;
    // A handler may detach itself or others while it runs.
    const std::vector<QJSValue> handlers = it->second;
    for (const QJSValue& h : handlers) {
        if (FExitCode == 3) break;
        QJSValueList js;
        for (const TVariant& a : args)
            js << (a.Type == (VT_BYREF | VT_I2) ? QJSValue(a.Ref ? *a.Ref : 0) : ToScript(a, 0));
        const QJSValue r = CallScript(h, js);
        if (r.isNumber())
            for (TVariant& a : args)
                if (a.Type == (VT_BYREF | VT_I2) && a.Ref) *a.Ref = static_cast<int16_t>(r.toInt());
    }
    return S_OK;
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
    const DISPID member = MemberIdOfName(n);
    return member != DISPID_UNKNOWN ? member : EventIdOfName(n);
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
    const HRESULT hr = kiv::Invoke(FCtrl.Automation(), id, flags, ArgsOf(args), &value);
    QJSValue r = FEngine.newObject();
    r.setProperty("hr", hr);
    r.setProperty("value", ToScript(value, id));
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

} // namespace kivplayer
