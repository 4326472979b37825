// What a script sees of the control's widgets: found by object name, described,
// clicked and typed into as a user would.
#pragma once

#include <QRect>
#include <QString>

#include <optional>

class QObject;
class QWidget;

namespace kiv::ui {
class TKivPlayerCtrl;
}

namespace kivplayer {

// name, or "parent/child/...", searched in the control, its full-screen window
// and the other top-level windows (its dialogs); null when none exists now.
QObject* FindNamed(kiv::ui::TKivPlayerCtrl& ctrl, const QString& name);

struct TWidgetInfo {
    QRect Geometry; // relative to the parent widget (a menu item: to its menu)
    bool Visible = false;
    QString Text;
    bool Checked = false;
    bool Enabled = false;
    QString Color; // of the text, "#rrggbb"
    bool Bold = false;
};
TWidgetInfo Describe(const QObject& o);

enum class TClick { Left, Double, Right };
// Mouse events at the centre of a visible widget, posted to its window; a menu
// item is clicked in its open menu or else triggered. False when not visible.
bool Click(QObject& o, TClick kind);
// A press and release of the key with that Windows key code; false for a code
// without a key here.
bool KeyUp(QObject& o, int windowsKey);
bool TypeChars(QObject& o, const QString& text);

std::optional<int> QtKeyOfWindowsKey(int windowsKey);

} // namespace kivplayer
