#pragma once
// A top-level widget in the window directory: registered under the handle of its
// receiver, its title and state followed from then on, raised to the front of the
// z-order when activated, and removed when the widget goes.
#include "platform/desktop/Desktop.h"

#include <string>

class QWidget;

namespace plat {

bool trackTopLevelWidget(QWidget* widget, WindowHandle window, std::string* error = nullptr);

}  // namespace plat
