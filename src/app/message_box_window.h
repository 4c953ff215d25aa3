// The Qt presenter for showMessageBox: caption "信息：", OK only, no owner, modal for the
// whole application.
#pragma once

#include <string>

namespace quivra {

// On the GUI thread the box runs its own event loop; from a worker it is shown on the
// GUI thread and the worker blocks until the user dismissed it.
void presentMessageBox(const std::string& text);

// Makes presentMessageBox the presenter of showMessageBox.
void installMessageBoxPresenter();

}  // namespace quivra
