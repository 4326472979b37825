// The control's automation object on screen: the form's properties read and
// write the widget itself; the rest is the core's.
#pragma once

#include "control/ikivplayer.h"

#include <memory>

namespace kiv::ui {

class TKivPlayerCtrl;

// Lives no longer than ctrl.
std::unique_ptr<IKivPlayer> MakeCtrlAutomation(TKivPlayerCtrl& ctrl);

} // namespace kiv::ui
