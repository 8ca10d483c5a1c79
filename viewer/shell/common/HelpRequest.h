#pragma once
// Help asked for anywhere in the viewer (a help button, F1 in a window) goes to
// one place, as help requests go to the main window: the main frame installs
// the handler that opens the help window; the windows only ask.
#include <cstdint>
#include <functional>

// The control or dialog id the help is asked for.
using HelpHandler = std::function<void(uint32_t contextId)>;

// Installs the handler (an empty one removes it); returns the one it replaces.
HelpHandler SetHelpHandler(HelpHandler handler);
// Asks for help; false when no handler is installed. UI thread only.
bool RequestHelp(uint32_t contextId);
