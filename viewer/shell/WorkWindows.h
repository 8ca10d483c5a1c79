#pragma once
// The two work windows the main frame owns, at most one at a time: the transfer
// panel and the browser frame (with its view). AppWorkWindows makes them from
// the transfer and browser code.
#include "platform/msg/WindowHandle.h"

#include <string>

class WorkWindows {
public:
    virtual ~WorkWindows() = default;

    // Forget the browser (without deleting it), delete any panel, make a new
    // panel, give it the index when >= 0, centre, show and activate it.
    virtual bool OpenTransferPanel(int index) = 0;
    // Delete browser and panel, make a new browser frame, shown maximised or normal.
    virtual bool OpenBrowser(bool maximised) = 0;

    virtual plat::WindowHandle TransferPanel() const = 0;
    virtual plat::WindowHandle BrowserFrame() const = 0;
    virtual plat::WindowHandle BrowserView() const = 0;
    virtual void SetPanelDeviceIndex(int index) = 0;
    // The browser view's current folder; empty without a browser view.
    virtual std::string BrowserCurrentFolder() const = 0;
    // The browser frame (or, without one, the main frame) has a modal window up.
    virtual bool IsFrameInModalState() const = 0;
    // Destroys a remaining panel (the main frame's end).
    virtual void DestroyAll() = 0;
};
