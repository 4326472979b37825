#include "script_widgets.h"

#include "ui/kiv_player_ctrl.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include <utility>

namespace kivplayer {

namespace {

const QElapsedTimer gClock = [] {
    QElapsedTimer t;
    t.start();
    return t;
}();

QObject* ChildNamed(QObject* root, const QString& name) {
    if (root->objectName() == name) return root;
    return root->findChild<QObject*>(name);
}

// The Windows virtual-key codes a script may send, as Qt keys.
constexpr std::pair<int, int> kWindowsKeys[] = {
    {8, Qt::Key_Backspace},  {9, Qt::Key_Tab},    {13, Qt::Key_Return}, {16, Qt::Key_Shift},
    {17, Qt::Key_Control},   {18, Qt::Key_Alt},   {19, Qt::Key_Pause},  {20, Qt::Key_CapsLock},
    {27, Qt::Key_Escape},    {32, Qt::Key_Space}, {33, Qt::Key_PageUp}, {34, Qt::Key_PageDown},
    {35, Qt::Key_End},       {36, Qt::Key_Home},  {37, Qt::Key_Left},   {38, Qt::Key_Up},
    {39, Qt::Key_Right},     {40, Qt::Key_Down},  {45, Qt::Key_Insert}, {46, Qt::Key_Delete},
    {106, Qt::Key_Asterisk}, {107, Qt::Key_Plus}, {109, Qt::Key_Minus}, {110, Qt::Key_Period},
    {111, Qt::Key_Slash},
};

// Letters, digits, the keypad digits and F1 to F24 are ranges.
std::optional<int> RangeKey(int vk) {
    if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
    if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
    if (vk >= 96 && vk <= 105) return Qt::Key_0 + (vk - 96);
    if (vk >= 112 && vk <= 135) return Qt::Key_F1 + (vk - 112);
    return std::nullopt;
}

QString TextOfKey(int vk) {
    if (vk >= 'A' && vk <= 'Z') return QString(QChar(vk - 'A' + 'a'));
    if (vk >= '0' && vk <= '9') return QString(QChar(vk));
    if (vk >= 96 && vk <= 105) return QString(QChar('0' + vk - 96));
    if (vk == 32) return " ";
    if (vk == 13) return "\r";
    if (vk == 27) return QString(QChar(27));
    return {};
}

// Each event is made when its turn in the queue comes: a mouse event made
// earlier would share the pointer's state with those made after it.
void PostMouse(QWindow* window, QPoint at, QPoint global, QEvent::Type type, Qt::MouseButton b,
               Qt::MouseButtons held) {
    QPointer<QWindow> target(window);
    QMetaObject::invokeMethod(
        window,
        [=] {
            if (!target) return;
            QMouseEvent e(type, at, at, global, b, held, {});
            e.setTimestamp(static_cast<quint64>(gClock.elapsed()));
            QCoreApplication::sendEvent(target, &e);
        },
        Qt::QueuedConnection);
}

bool ClickAt(QWidget& w, QPoint local, TClick kind) {
    QWidget* top = w.window();
    QWindow* window = top->windowHandle();
    if (!window) return false;
    const QPoint at = w.mapTo(top, local), global = w.mapToGlobal(local);
    const Qt::MouseButton b = kind == TClick::Right ? Qt::RightButton : Qt::LeftButton;
    PostMouse(window, at, global, QEvent::MouseButtonPress, b, b);
    PostMouse(window, at, global, QEvent::MouseButtonRelease, b, {});
    if (kind == TClick::Double) {
        // The order the window system gives: the second press, then the double click.
        PostMouse(window, at, global, QEvent::MouseButtonPress, b, b);
        PostMouse(window, at, global, QEvent::MouseButtonDblClick, b, b);
        PostMouse(window, at, global, QEvent::MouseButtonRelease, b, {});
    }
    return true;
}

QMenu* MenuOf(const QAction& a) {
    return qobject_cast<QMenu*>(a.parent());
}

} // namespace

QObject* FindNamed(kiv::ui::TKivPlayerCtrl& ctrl, const QString& name) {
    const QStringList parts = name.split('/');
    QList<QObject*> roots{&ctrl};
    if (ctrl.frmFullScreen()) roots.append(ctrl.frmFullScreen());
    for (QWidget* w : QApplication::topLevelWidgets())
        if (!roots.contains(w)) roots.append(w);
    for (QObject* root : roots) {
        QObject* o = ChildNamed(root, parts.front());
        for (qsizetype i = 1; o && i < parts.size(); ++i)
            o = o->findChild<QObject*>(parts[i]);
        if (o) return o;
    }
    return nullptr;
}

TWidgetInfo Describe(const QObject& o) {
    TWidgetInfo info;
    if (const auto* a = qobject_cast<const QAction*>(&o)) {
        if (QMenu* m = MenuOf(*a)) {
            info.Geometry = m->actionGeometry(const_cast<QAction*>(a));
            info.Color = m->palette().color(QPalette::WindowText).name();
        }
        info.Visible = a->isVisible();
        info.Text = a->text();
        info.Checked = a->isChecked();
        info.Enabled = a->isEnabled();
        info.Bold = a->font().bold();
        return info;
    }
    const auto* w = qobject_cast<const QWidget*>(&o);
    if (!w) return info;
    info.Geometry = w->geometry();
    info.Visible = w->isVisible();
    info.Enabled = w->isEnabled();
    info.Color = w->palette().color(w->foregroundRole()).name();
    info.Bold = w->font().bold();
    if (const auto* l = qobject_cast<const QLabel*>(w))
        info.Text = l->text();
    else if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
        info.Text = b->text();
        info.Checked = b->isChecked();
    } else if (const auto* g = qobject_cast<const QGroupBox*>(w))
        info.Text = g->title();
    else if (w->isWindow() || !w->windowTitle().isEmpty())
        info.Text = w->windowTitle();
    return info;
}

bool Click(QObject& o, TClick kind) {
    if (auto* a = qobject_cast<QAction*>(&o)) {
        if (!a->isVisible()) return false;
        QMenu* m = MenuOf(*a);
        if (m && m->isVisible()) return ClickAt(*m, m->actionGeometry(a).center(), TClick::Left);
        // An item of a closed menu: what its click would do, the open menus closed.
        QMetaObject::invokeMethod(
            a,
            [a] {
                while (QWidget* popup = QApplication::activePopupWidget())
                    popup->close();
                a->trigger();
            },
            Qt::QueuedConnection);
        return true;
    }
    auto* w = qobject_cast<QWidget*>(&o);
    if (!w || !w->isVisible()) return false;
    return ClickAt(*w, w->rect().center(), kind);
}

std::optional<int> QtKeyOfWindowsKey(int windowsKey) {
    for (const auto& [vk, key] : kWindowsKeys)
        if (vk == windowsKey) return key;
    return RangeKey(windowsKey);
}

bool KeyUp(QObject& o, int windowsKey) {
    const std::optional<int> key = QtKeyOfWindowsKey(windowsKey);
    if (!key || !o.isWidgetType()) return false;
    const Qt::KeyboardModifiers mods =
        windowsKey >= 96 && windowsKey <= 111 ? Qt::KeypadModifier : Qt::NoModifier;
    const QString text = TextOfKey(windowsKey);
    QCoreApplication::postEvent(&o, new QKeyEvent(QEvent::KeyPress, *key, mods, text));
    QCoreApplication::postEvent(&o, new QKeyEvent(QEvent::KeyRelease, *key, mods, text));
    return true;
}

bool TypeChars(QObject& o, const QString& text) {
    if (!o.isWidgetType()) return false;
    for (QChar c : text) {
        const QChar upper = c.toUpper();
        const int key = upper.unicode() < 0x80 && upper.isPrint() ? upper.unicode() : 0;
        QCoreApplication::postEvent(&o, new QKeyEvent(QEvent::KeyPress, key, {}, QString(c)));
        QCoreApplication::postEvent(&o, new QKeyEvent(QEvent::KeyRelease, key, {}, QString(c)));
    }
    return true;
}

} // namespace kivplayer
