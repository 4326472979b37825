#include "ui/kiv_player_ctrl_object.h"

#include "control/kiv_player_object.h"
#include "ui/kiv_player_ctrl.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>

#include <algorithm>
#include <optional>
#include <utility>

namespace kiv::ui {

namespace {

constexpr std::pair<int16_t, Qt::CursorShape> kCursors[] = {
    {0, Qt::ArrowCursor},          // crDefault
    {-1, Qt::BlankCursor},         // crNone
    {-2, Qt::ArrowCursor},         // crArrow
    {-3, Qt::CrossCursor},         // crCross
    {-4, Qt::IBeamCursor},         // crIBeam
    {-5, Qt::SizeAllCursor},       // crSize
    {-6, Qt::SizeBDiagCursor},     // crSizeNESW
    {-7, Qt::SizeVerCursor},       // crSizeNS
    {-8, Qt::SizeFDiagCursor},     // crSizeNWSE
    {-9, Qt::SizeHorCursor},       // crSizeWE
    {-10, Qt::UpArrowCursor},      // crUpArrow
    {-11, Qt::WaitCursor},         // crHourGlass
    {-12, Qt::DragCopyCursor},     // crDrag
    {-13, Qt::ForbiddenCursor},    // crNoDrop
    {-14, Qt::SplitHCursor},       // crHSplit
    {-15, Qt::SplitVCursor},       // crVSplit
    {-16, Qt::DragMoveCursor},     // crMultiDrag
    {-17, Qt::WaitCursor},         // crSQLWait
    {-18, Qt::ForbiddenCursor},    // crNo
    {-19, Qt::BusyCursor},         // crAppStart
    {-20, Qt::WhatsThisCursor},    // crHelp
    {-21, Qt::PointingHandCursor}, // crHandPoint
    {-22, Qt::SizeAllCursor},      // crSizeAll
};

// The system colour indices (COLOR_SCROLLBAR 0 ... COLOR_MENUBAR 30) and the
// palette roles that stand for them here.
struct TSystemColor {
    uint8_t Index;
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};
constexpr TSystemColor kSystemColors[] = {
    {0, QPalette::Active, QPalette::Mid},                // scroll bar
    {1, QPalette::Active, QPalette::Dark},               // desktop
    {2, QPalette::Active, QPalette::Highlight},          // active caption
    {3, QPalette::Inactive, QPalette::Highlight},        // inactive caption
    {4, QPalette::Active, QPalette::Window},             // menu
    {5, QPalette::Active, QPalette::Base},               // window
    {6, QPalette::Active, QPalette::Shadow},             // window frame
    {7, QPalette::Active, QPalette::WindowText},         // menu text
    {8, QPalette::Active, QPalette::Text},               // window text
    {9, QPalette::Active, QPalette::HighlightedText},    // caption text
    {10, QPalette::Active, QPalette::Button},            // active border
    {11, QPalette::Inactive, QPalette::Button},          // inactive border
    {12, QPalette::Active, QPalette::Dark},              // application workspace
    {13, QPalette::Active, QPalette::Highlight},         // highlight
    {14, QPalette::Active, QPalette::HighlightedText},   // highlighted text
    {15, QPalette::Active, QPalette::Button},            // button face
    {16, QPalette::Active, QPalette::Mid},               // button shadow
    {17, QPalette::Disabled, QPalette::Text},            // grey text
    {18, QPalette::Active, QPalette::ButtonText},        // button text
    {19, QPalette::Inactive, QPalette::HighlightedText}, // inactive caption text
    {20, QPalette::Active, QPalette::Light},             // button highlight
    {21, QPalette::Active, QPalette::Shadow},            // 3D dark shadow
    {22, QPalette::Active, QPalette::Midlight},          // 3D light
    {23, QPalette::Active, QPalette::ToolTipText},       // info text
    {24, QPalette::Active, QPalette::ToolTipBase},       // info background
    {26, QPalette::Active, QPalette::Link},              // hot light
    {27, QPalette::Active, QPalette::Highlight},         // gradient active caption
    {28, QPalette::Inactive, QPalette::Highlight},       // gradient inactive caption
    {29, QPalette::Active, QPalette::Highlight},         // menu highlight
    {30, QPalette::Active, QPalette::Window},            // menu bar
};

QColor ColorOfSystem(uint32_t bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The standard cursor identifiers as Qt shapes; unknown ones show the arrow, as
// the form does.
Qt::CursorShape CursorShapeOf(int16_t cursor) {
    for (const auto& [id, shape] : kCursors)
        if (id == cursor) return shape;
    return Qt::ArrowCursor;
}

// An OLE colour: a system colour (0x800000xx) through the palette, else 0x00BBGGRR.
std::optional<QColor> ColorOfOle(OLE_COLOR color) {
    if ((color & 0xFF000000) != 0x80000000) return ColorOfSystem(color & 0xFFFFFF);
    if (color & 0x00FFFF00) return std::nullopt;
    const QPalette palette = QApplication::palette();
    for (const TSystemColor& c : kSystemColors)
        if (c.Index == (color & 0xFF)) return palette.color(c.Group, c.Role);
    return std::nullopt;
}

QFont FontOf(const IFontDisp& font) {
    QFont f(QString::fromStdString(font.Name));
    f.setPointSize(std::max(font.Size, 1));
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.Strikethrough);
    return f;
}

class TKivPlayerCtrlObject : public TKivPlayerObject {
public:
    explicit TKivPlayerCtrlObject(TKivPlayerCtrl& ctrl)
        : TKivPlayerObject(ctrl.Core()), FCtrl(ctrl) {}

    HRESULT get_Visible(VARIANT_BOOL* Value) override { return Give(!FCtrl.isHidden(), Value); }
    HRESULT put_Visible(VARIANT_BOOL Value) override {
        FCtrl.setVisible(Value != VARIANT_FALSE);
        return S_OK;
    }
    HRESULT get_Caption(std::string* Value) override {
        *Value = FCtrl.windowTitle().toStdString();
        return S_OK;
    }
    HRESULT put_Caption(const std::string& Value) override {
        FCtrl.setWindowTitle(QString::fromStdString(Value));
        return S_OK;
    }
    HRESULT put_Color(OLE_COLOR Value) override {
        const std::optional<QColor> c = ColorOfOle(Value);
        if (!c) return Fail("Invalid property value");
        QPalette p = FCtrl.palette();
        p.setColor(QPalette::Window, *c);
        FCtrl.setPalette(p);
        return TKivPlayerObject::put_Color(Value);
    }
    HRESULT put_Font(TFontRef Value) override {
        // A copy: the host may go on changing the object it passed.
        if (Value) Value = std::make_shared<IFontDisp>(*Value);
        const HRESULT hr = TKivPlayerObject::put_Font(Value);
        if (hr == S_OK) FCtrl.setFont(FontOf(*Value));
        return hr;
    }
    HRESULT get_Active(VARIANT_BOOL* Value) override { return Give(FCtrl.isActiveWindow(), Value); }
    HRESULT get_DropTarget(VARIANT_BOOL* Value) override {
        return Give(FCtrl.acceptDrops(), Value);
    }
    HRESULT put_DropTarget(VARIANT_BOOL Value) override {
        FCtrl.setAcceptDrops(Value != VARIANT_FALSE);
        return S_OK;
    }
    HRESULT get_Enabled(VARIANT_BOOL* Value) override { return Give(FCtrl.isEnabled(), Value); }
    HRESULT put_Enabled(VARIANT_BOOL Value) override {
        FCtrl.setEnabled(Value != VARIANT_FALSE);
        return S_OK;
    }
    HRESULT put_Cursor(int16_t Value) override {
        if (Value == 0)
            FCtrl.unsetCursor();
        else
            FCtrl.setCursor(CursorShapeOf(Value));
        return TKivPlayerObject::put_Cursor(Value);
    }

protected:
    void ScreenColorChanged(uint32_t systemColor) override {
        FCtrl.frmDetail()->SetColor(ColorOfSystem(systemColor));
    }
    void NailColorChanged(uint32_t systemColor) override {
        FCtrl.frmNails()->SetBackgroundColor(ColorOfSystem(systemColor));
    }

private:
    static HRESULT Give(bool b, VARIANT_BOOL* out) {
        *out = ToVariantBool(b);
        return S_OK;
    }

    TKivPlayerCtrl& FCtrl; // the control's thread, as the object is
};

} // namespace

std::unique_ptr<IKivPlayer> MakeCtrlAutomation(TKivPlayerCtrl& ctrl) {
    return std::make_unique<TKivPlayerCtrlObject>(ctrl);
}

} // namespace kiv::ui
