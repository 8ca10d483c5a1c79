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

