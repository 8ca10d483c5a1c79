#pragma once
// Message boxes, from any thread: the box is shown by the UI thread while the
// asking thread waits for the answer. Tests install a responder that answers
// instead of a person (it is called on the UI thread, like the real box).
#include "platform/msg/WindowHandle.h"

#include <functional>
#include <string>

namespace plat {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Stop, Exclamation, Information, Question };

// Answers (the numbers the programs compare with).
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

struct MessageBoxRequest {
    WindowHandle owner;            // the box is centred on the owner's window, when it has one
    std::string text;
    std::string caption;           // empty: no caption
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    int defaultButton = 1;         // 1-3, in the order of the buttons
    bool topmost = false;
};

// The answer, or 0 when no box could be shown (no widget application).
int showMessageBox(const MessageBoxRequest& request);

using MessageBoxResponder = std::function<int(const MessageBoxRequest&)>;
// Replaces the real box (an empty function restores it).
void setMessageBoxResponder(MessageBoxResponder responder);

}  // namespace plat
