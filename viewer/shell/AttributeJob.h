#pragma once
// Protect or hide over the browser's selection: the attribute-change job works
// through the picture-access object on its own thread while the wait dialog is
// up, then the items' marks take what was changed.
#include <cstdint>
#include <string>

#include "platform/msg/WindowHandle.h"
#include "viewer/browser/BrowserItem.h"

class CImageFileIf;

// kind 1 protect, 2 hide; on sets the flag, off clears it. The job goes on past
// pictures that are missing and past one other failure. Returns the failure it
// kept (0 when every picture changed), -118 when the job could not start.
int32_t RunAttributeJob(CImageFileIf& files, int32_t kind, bool on, BrowserItemList& items,
                        const std::string& folder, plat::WindowHandle view);
