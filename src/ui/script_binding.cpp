#include "ui/script_binding.h"

#include "ui/kiv_player_ctrl.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace kiv::ui {

namespace {

// Builds `player` over the native object: properties as accessors, methods as
// functions, the font as a live object.
const char kBootstrap[] = R"JS((function (native, members, fontFields) {
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
    return player;
}))JS";

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

constexpr DISPID kFont = -512;

// The DISPIDs of both interfaces are apart, so one map holds both's handlers.
DISPID EventIdOf(const QString& name) {
    const std::string n = name.toStdString();
    const DISPID id = EventIdOfName(n);
    return id != DISPID_UNKNOWN ? id : IdOfName(NavigationEvents(), n);
}

} // namespace

TScriptBinding::TScriptBinding(TKivPlayerCtrl& ctrl, QJSEngine& engine)
    : FCtrl(ctrl), FEngine(engine) {
    // The engine must never delete the binding.
    QJSEngine::setObjectOwnership(this, QJSEngine::CppOwnership);
    QJSValue members = FEngine.newArray();
    quint32 i = 0;
    const auto describe = [&](const auto& m) {
        QJSValue d = FEngine.newObject();
        d.setProperty("name", m.Name);
        d.setProperty("id", m.DispId);
        d.setProperty("method", m.Access == maMethod);
        d.setProperty("font", m.DispId == kFont);
        members.setProperty(i++, d);
    };
    for (const TMemberInfo& m : KivPlayerMembers())
        describe(m);
    for (const TNavigationMemberInfo& m : NavigationMembers())
        describe(m);
    QJSValue fields = FEngine.newArray();
    i = 0;
    for (const TFontField& f : kFontFields)
        fields.setProperty(i++, f.Name);
    FPlayer = FEngine.evaluate(kBootstrap).call({FEngine.newQObject(this), members, fields});
    FCtrl.SetDispatchSink(this);
}

TScriptBinding::~TScriptBinding() {
    FCtrl.SetDispatchSink(nullptr);
}

std::optional<TVariant> TScriptBinding::Dispatch(int id, uint16_t kind,
                                                 std::vector<TVariant> args) {
    SetErrorInfo({});
    TVariant result;
    const HRESULT hr = kiv::Invoke(FCtrl.Automation(), FCtrl.Navigation(), id, kind, args, &result);
    if (hr == S_OK) return result;
    FEngine.throwError(QString::fromStdString(TextOf(hr)));
    return std::nullopt;
}

QJSValue TScriptBinding::ToScript(const TVariant& v, DISPID id) {
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
    case VT_R8:
        return QJSValue(v.Real);
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

TVariant TScriptBinding::FromScript(const QJSValue& v) {
    if (v.isBool()) return TVariant::Bool(v.toBool());
    // As the language converts to 32 bits: 0xFF00FF00 keeps its bits. A
    // fraction stays one, for a member that takes it.
    if (v.isNumber()) {
        const double d = v.toNumber();
        return d == std::trunc(d) ? TVariant::I4(v.toInt()) : TVariant::R8(d);
    }
    if (v.isUndefined() || v.isNull()) return {};
    if (v.isObject() && !v.isArray() && !v.isString()) {
        auto font = std::make_shared<IFontDisp>();
        for (const TFontField& f : kFontFields)
            if (v.hasProperty(f.Name)) f.Set(*font, v.property(f.Name));
        return TVariant::Object(font);
    }
    return TVariant::Str(v.toString().toStdString());
}

std::vector<TVariant> TScriptBinding::ArgsOf(const QJSValue& array) {
    std::vector<TVariant> args;
    const int n = array.property("length").toInt();
    for (int i = 0; i < n; ++i)
        args.push_back(FromScript(array.property(quint32(i))));
    return args;
}

QJSValue TScriptBinding::get(int id) {
    const auto v = Dispatch(id, DISPATCH_PROPERTYGET, {});
    return v ? ToScript(*v, id) : QJSValue();
}

void TScriptBinding::put(int id, const QJSValue& value) {
    Dispatch(id, DISPATCH_PROPERTYPUT, {FromScript(value)});
}

QJSValue TScriptBinding::call(int id, const QJSValue& args) {
    const auto v = Dispatch(id, DISPATCH_METHOD, ArgsOf(args));
    return v ? ToScript(*v, id) : QJSValue();
}

QJSValue TScriptBinding::fontField(const QString& field) {
    const TFontField* f = FontField(field);
    const auto v = Dispatch(kFont, DISPATCH_PROPERTYGET, {});
    if (!f || !v || !v->Font) return QJSValue();
    return f->Get(*v->Font);
}

void TScriptBinding::setFontField(const QString& field, const QJSValue& value) {
    const TFontField* f = FontField(field);
    const auto v = Dispatch(kFont, DISPATCH_PROPERTYGET, {});
    if (!f || !v || !v->Font) return;
    // The control is told of the change by getting the font back.
    auto font = std::make_shared<IFontDisp>(*v->Font);
    f->Set(*font, value);
    Dispatch(kFont, DISPATCH_PROPERTYPUT, {TVariant::Object(font)});
}

void TScriptBinding::putFont(const QJSValue& value) {
    const auto v = Dispatch(kFont, DISPATCH_PROPERTYGET, {});
    if (!v || !v->Font) return;
    auto font = std::make_shared<IFontDisp>(*v->Font);
    for (const TFontField& f : kFontFields)
        if (value.hasProperty(f.Name)) f.Set(*font, value.property(f.Name));
    Dispatch(kFont, DISPATCH_PROPERTYPUT, {TVariant::Object(font)});
}

bool TScriptBinding::attachEvent(const QString& name, const QJSValue& handler) {
    const DISPID id = EventIdOf(name);
    if (id == DISPID_UNKNOWN || !handler.isCallable()) return false;
    FHandlers[id].push_back(handler);
    return true;
}

bool TScriptBinding::detachEvent(const QString& name, const QJSValue& handler) {
    auto it = FHandlers.find(EventIdOf(name));
    if (it == FHandlers.end()) return false;
    for (auto h = it->second.begin(); h != it->second.end(); ++h)
        if (h->strictlyEquals(handler)) {
            it->second.erase(h);
            return true;
        }
    return false;
}

HRESULT TScriptBinding::Invoke(DISPID id, std::vector<TVariant>& args) {
    const auto it = FHandlers.find(id);
    if (it == FHandlers.end()) return S_OK;
    // A handler may detach itself or others while it runs.
    const std::vector<QJSValue> handlers = it->second;
    for (const QJSValue& h : handlers) {
        QJSValueList js;
        for (const TVariant& a : args)
            js << (a.Type == (VT_BYREF | VT_I2) ? QJSValue(a.Ref ? *a.Ref : 0) : ToScript(a, 0));
        QJSValue r;
        if (CallHandler) {
            r = CallHandler(h, js);
        } else {
            r = QJSValue(h).call(js);
            if (r.isError()) qWarning("kivplayer script: %s", qPrintable(r.toString()));
        }
        // The next handler sees the key this one returned.
        if (r.isNumber())
            for (TVariant& a : args)
                if (a.Type == (VT_BYREF | VT_I2) && a.Ref) *a.Ref = static_cast<int16_t>(r.toInt());
    }
    return S_OK;
}

} // namespace kiv::ui
