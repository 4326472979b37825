#include "ui/kiv_player_face.h"

#include "ui/kiv_player_ctrl.h"
#include "ui/kiv_player_ctrl_object.h"

#include <QJSEngine>

namespace kiv::ui {

TKivPlayerFace::TKivPlayerFace(TKivPlayerCtrl& ctrl) : QObject(&ctrl), FCtrl(ctrl) {
    setObjectName("KivPlayerFace");
}

IKivPlayer& TKivPlayerFace::P() const {
    return FCtrl.Automation();
}

void TKivPlayerFace::Check(HRESULT hr) const {
    if (hr == S_OK) return;
    const QString text = QString::fromStdString(hr == E_UNEXPECTED ? GetErrorInfo() : "Failed");
    auto* self = const_cast<TKivPlayerFace*>(this);
    emit self->Failed(text);
    if (QJSEngine* engine = qjsEngine(this)) engine->throwError(text);
}

template <class T> T TKivPlayerFace::Read(HRESULT (IKivPlayer::*get)(T*)) const {
    T v{};
    Check((P().*get)(&v));
    return v;
}

bool TKivPlayerFace::getVisible() const {
    return Read(&IKivPlayer::get_Visible) != VARIANT_FALSE;
}

void TKivPlayerFace::putVisible(bool Value) {
    Check(P().put_Visible(ToVariantBool(Value)));
}

bool TKivPlayerFace::getAutoScroll() const {
    return Read(&IKivPlayer::get_AutoScroll) != VARIANT_FALSE;
}

void TKivPlayerFace::putAutoScroll(bool Value) {
    Check(P().put_AutoScroll(ToVariantBool(Value)));
}

bool TKivPlayerFace::getAutoSize() const {
    return Read(&IKivPlayer::get_AutoSize) != VARIANT_FALSE;
}

void TKivPlayerFace::putAutoSize(bool Value) {
    Check(P().put_AutoSize(ToVariantBool(Value)));
}

int TKivPlayerFace::getAxBorderStyle() const {
    return static_cast<int>(Read(&IKivPlayer::get_AxBorderStyle));
}

void TKivPlayerFace::putAxBorderStyle(int Value) {
    Check(P().put_AxBorderStyle(static_cast<TxActiveFormBorderStyle>(Value)));
}

QString TKivPlayerFace::getCaption() const {
    return QString::fromStdString(Read(&IKivPlayer::get_Caption));
}

void TKivPlayerFace::putCaption(const QString& Value) {
    Check(P().put_Caption(Value.toStdString()));
}

uint TKivPlayerFace::getColor() const {
    return Read(&IKivPlayer::get_Color);
}

void TKivPlayerFace::putColor(uint Value) {
    Check(P().put_Color(Value));
}

QFont TKivPlayerFace::getFont() const {
    const TFontRef f = Read(&IKivPlayer::get_Font);
    return f ? FontOf(*f) : QFont();
}

void TKivPlayerFace::putFont(const QFont& Value) {
    auto f = std::make_shared<IFontDisp>();
    if (TFontRef old = Read(&IKivPlayer::get_Font)) *f = *old; // the charset stays
    f->Name = Value.family().toStdString();
    f->Size = Value.pointSize() > 0 ? Value.pointSize() : f->Size;
    f->Bold = Value.bold();
    f->Italic = Value.italic();
    f->Underline = Value.underline();
    f->Strikethrough = Value.strikeOut();
    Check(P().put_Font(f));
}

bool TKivPlayerFace::getKeyPreview() const {
    return Read(&IKivPlayer::get_KeyPreview) != VARIANT_FALSE;
}

void TKivPlayerFace::putKeyPreview(bool Value) {
    Check(P().put_KeyPreview(ToVariantBool(Value)));
}

int TKivPlayerFace::getPixelsPerInch() const {
    return static_cast<int>(Read(&IKivPlayer::get_PixelsPerInch));
}

void TKivPlayerFace::putPixelsPerInch(int Value) {
    Check(P().put_PixelsPerInch(static_cast<int32_t>(Value)));
}

int TKivPlayerFace::getPrintScale() const {
    return static_cast<int>(Read(&IKivPlayer::get_PrintScale));
}

void TKivPlayerFace::putPrintScale(int Value) {
    Check(P().put_PrintScale(static_cast<TxPrintScale>(Value)));
}

bool TKivPlayerFace::getScaled() const {
    return Read(&IKivPlayer::get_Scaled) != VARIANT_FALSE;
}

void TKivPlayerFace::putScaled(bool Value) {
    Check(P().put_Scaled(ToVariantBool(Value)));
}

bool TKivPlayerFace::getActive() const {
    return Read(&IKivPlayer::get_Active) != VARIANT_FALSE;
}

bool TKivPlayerFace::getDropTarget() const {
    return Read(&IKivPlayer::get_DropTarget) != VARIANT_FALSE;
}

void TKivPlayerFace::putDropTarget(bool Value) {
    Check(P().put_DropTarget(ToVariantBool(Value)));
}

QString TKivPlayerFace::getHelpFile() const {
    return QString::fromStdString(Read(&IKivPlayer::get_HelpFile));
}

void TKivPlayerFace::putHelpFile(const QString& Value) {
    Check(P().put_HelpFile(Value.toStdString()));
}

bool TKivPlayerFace::getDoubleBuffered() const {
    return Read(&IKivPlayer::get_DoubleBuffered) != VARIANT_FALSE;
}

void TKivPlayerFace::putDoubleBuffered(bool Value) {
    Check(P().put_DoubleBuffered(ToVariantBool(Value)));
}

int TKivPlayerFace::getVisibleDockClientCount() const {
    return static_cast<int>(Read(&IKivPlayer::get_VisibleDockClientCount));
}

bool TKivPlayerFace::getEnabled() const {
    return Read(&IKivPlayer::get_Enabled) != VARIANT_FALSE;
}

void TKivPlayerFace::putEnabled(bool Value) {
    Check(P().put_Enabled(ToVariantBool(Value)));
}

int TKivPlayerFace::getCursor() const {
    return static_cast<int>(Read(&IKivPlayer::get_Cursor));
}

void TKivPlayerFace::putCursor(int Value) {
    Check(P().put_Cursor(static_cast<int16_t>(Value)));
}

int TKivPlayerFace::getDisplayMode() const {
    return static_cast<int>(Read(&IKivPlayer::get_DisplayMode));
}

void TKivPlayerFace::putDisplayMode(int Value) {
    Check(P().put_DisplayMode(static_cast<TDisplayMode>(Value)));
}

int TKivPlayerFace::getCurrentPosition() const {
    return static_cast<int>(Read(&IKivPlayer::get_CurrentPosition));
}

void TKivPlayerFace::putCurrentPosition(int Value) {
    Check(P().put_CurrentPosition(static_cast<int32_t>(Value)));
}

int TKivPlayerFace::getDuration() const {
    return static_cast<int>(Read(&IKivPlayer::get_Duration));
}

qint64 TKivPlayerFace::getScreenBackgroundColor() const {
    return Read(&IKivPlayer::get_ScreenBackgroundColor);
}

void TKivPlayerFace::putScreenBackgroundColor(qint64 Value) {
    Check(P().put_ScreenBackgroundColor(static_cast<int32_t>(Value)));
}

qint64 TKivPlayerFace::getNailBackgroundColor() const {
    return Read(&IKivPlayer::get_NailBackgroundColor);
}

void TKivPlayerFace::putNailBackgroundColor(qint64 Value) {
    Check(P().put_NailBackgroundColor(static_cast<int32_t>(Value)));
}

QString TKivPlayerFace::getLocalIP() const {
    return QString::fromStdString(Read(&IKivPlayer::get_LocalIP));
}

void TKivPlayerFace::putLocalIP(const QString& Value) {
    Check(P().put_LocalIP(Value.toStdString()));
}

int TKivPlayerFace::getMax() const {
    return static_cast<int>(Read(&IKivPlayer::get_Max));
}

int TKivPlayerFace::getMin() const {
    return static_cast<int>(Read(&IKivPlayer::get_Min));
}

bool TKivPlayerFace::getFullScreen() const {
    return Read(&IKivPlayer::get_FullScreen) != VARIANT_FALSE;
}

void TKivPlayerFace::putFullScreen(bool Value) {
    Check(P().put_FullScreen(ToVariantBool(Value)));
}

QString TKivPlayerFace::getURL() const {
    return QString::fromStdString(Read(&IKivPlayer::get_URL));
}

void TKivPlayerFace::putURL(const QString& Value) {
    Check(P().put_URL(Value.toStdString()));
}

int TKivPlayerFace::getStatus() const {
    return static_cast<int>(Read(&IKivPlayer::get_Status));
}

bool TKivPlayerFace::getAutoStart() const {
    return Read(&IKivPlayer::get_AutoStart) != VARIANT_FALSE;
}

void TKivPlayerFace::putAutoStart(bool Value) {
    Check(P().put_AutoStart(ToVariantBool(Value)));
}

int TKivPlayerFace::getKivWidth() const {
    return static_cast<int>(Read(&IKivPlayer::get_KivWidth));
}

int TKivPlayerFace::getKivHeight() const {
    return static_cast<int>(Read(&IKivPlayer::get_KivHeight));
}

void TKivPlayerFace::LoadFile(const QString& Filename) {
    Check(P().LoadFile(Filename.toStdString()));
}

void TKivPlayerFace::SendScript(const QString& Str) {
    Check(P().SendScript(Str.toStdString()));
}

void TKivPlayerFace::Open(const QString& Filename) {
    Check(P().Open(Filename.toStdString()));
}

void TKivPlayerFace::Play() {
    Check(P().Play());
}

void TKivPlayerFace::Pause() {
    Check(P().Pause());
}

void TKivPlayerFace::Stop() {
    Check(P().Stop());
}

void TKivPlayerFace::Close() {
    Check(P().Close());
}

void TKivPlayerFace::FastForward() {
    Check(P().FastForward());
}

void TKivPlayerFace::FastReverse() {
    Check(P().FastReverse());
}

} // namespace kiv::ui
