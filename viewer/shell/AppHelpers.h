#pragma once
// Helpers of the picture jobs that lean on the application: work folders below
// the temp folder, waiting for a dialog's window, the browser's timer procedure.
#include "platform/msg/WindowHandle.h"
#include "viewer/shell/common/FolderTools.h"

#include <atomic>
#include <functional>
#include <string>

// temp folder + "/temp/" + name, both levels made (an existing folder is fine).
// False when a level cannot be made.
bool MakeWorkFolder(const std::string& name, std::string* path);

// Timer procedure of the browser view's timer 2: sends the tree check to its window.
void TreeSelectTimerProc(plat::WindowHandle window, uint32_t timerId);
