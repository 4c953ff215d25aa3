// Message boxes asked for by logic code. The window layer installs the presenter; the
// call blocks the calling worker until the box is dismissed and never blocks the GUI
// thread's event processing. Without a presenter (tests) the text is only recorded.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quivra {

// Caption "信息：", an OK button only. text is local text.
void showMessageBox(const std::string& text);

using MessagePresenter = std::function<void(const std::string& text)>;
void setMessagePresenter(MessagePresenter presenter);

// The texts shown while no presenter was set (the latest 100), oldest first; the record
// is emptied.
std::vector<std::string> takeRecordedMessages();

}  // namespace quivra
