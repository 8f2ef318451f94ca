// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "shell/InstanceChannel.h"

class QWidget;

// Shows and raises window for a start the desktop launched (a menu entry, one of its actions), in this
// copy or handed over by a second start: with the launcher's token the launch feedback ends in that
// window, and the window manager or compositor may give it the focus as the user asked.
void RaiseForLaunch(QWidget* window, const ActivationToken& token = {});
