// The control's automation object on screen: the form's properties read and
// write the widget itself; the rest is the core's.
#pragma once

#include "control/kiv_player_object.h"

#include <QColor>
#include <QFont>
#include <Qt>

#include <optional>

class QWidget;

namespace kiv::ui {

class TKivPlayerCtrl;

// The standard cursor identifiers (crDefault 0, crArrow -2 ... crSizeAll -22)
// as Qt shapes; unknown identifiers show the arrow, as the form does.
Qt::CursorShape CursorShapeOf(int16_t cursor);
// An OLE colour: a system colour (0x800000xx) through the palette, else 0x00BBGGRR.
std::optional<QColor> ColorOfOle(OLE_COLOR color);
QFont FontOf(const IFontDisp& font);

class TKivPlayerCtrlObject : public TKivPlayerObject {
public:
    explicit TKivPlayerCtrlObject(TKivPlayerCtrl& ctrl);

    HRESULT get_Visible(VARIANT_BOOL* Value) override;
    HRESULT put_Visible(VARIANT_BOOL Value) override;
    HRESULT get_Caption(std::string* Value) override;
    HRESULT put_Caption(const std::string& Value) override;
    HRESULT put_Color(OLE_COLOR Value) override;
    HRESULT put_Font(TFontRef Value) override;
    HRESULT get_Active(VARIANT_BOOL* Value) override;
    HRESULT get_DropTarget(VARIANT_BOOL* Value) override;
    HRESULT put_DropTarget(VARIANT_BOOL Value) override;
    HRESULT get_Enabled(VARIANT_BOOL* Value) override;
    HRESULT put_Enabled(VARIANT_BOOL Value) override;
    HRESULT put_Cursor(int16_t Value) override;

protected:
    void ScreenColorChanged(uint32_t systemColor) override;
    void NailColorChanged(uint32_t systemColor) override;

private:
    TKivPlayerCtrl& FCtrl;
};

} // namespace kiv::ui
