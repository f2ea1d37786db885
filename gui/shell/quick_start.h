#pragma once

class QWidget;

namespace velkaro {

// Help > Quick start: the quick-start steps in a window of their own, drawn
// sharp at whatever size it is given. Modal; returns when it is closed.
void ShowQuickStart(QWidget* parent);

}  // namespace velkaro
