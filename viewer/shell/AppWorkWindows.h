#pragma once
// The work windows of this program: the transfer panel (over the application's
// acquire and transfer hosts) and the browser window, at most one at a time.
#include "viewer/shell/AppAcquireHost.h"
#include "viewer/shell/AppTransferHost.h"
#include "viewer/shell/WorkWindows.h"

#include "viewer/browser/BrowserItem.h"

#include <QObject>

#include <memory>
#include <vector>

class CAcquireDlg;
class CBrowserWindow;
class CLumoraApp;
class QWidget;

class AppWorkWindows : public WorkWindows {
public:
    explicit AppWorkWindows(CLumoraApp& app);
    ~AppWorkWindows() override;

    bool OpenTransferPanel(int index) override;
    bool OpenBrowser(bool maximised) override;
    plat::WindowHandle TransferPanel() const override;
    plat::WindowHandle BrowserFrame() const override;
    plat::WindowHandle BrowserView() const override;
    void SetPanelDeviceIndex(int index) override;
    std::string BrowserCurrentFolder() const override;
    bool IsFrameInModalState() const override;
    void DestroyAll() override;
    // The browser window when one is open.
    CBrowserWindow* Browser() const { return browser_.get(); }

private:
    // A window that asked for its own replacement is still on the call stack:
    // it goes once control is back in the event loop.
    void RetireBrowser();
    void RetirePanel();
    void ScheduleRetiredDeletion();
    void TransferSelection(QWidget* parent, BrowserItemList& items, const std::string& folder);

    CLumoraApp& app_;
    AppTransferHost transferHost_;
    AppAcquireHost acquireHost_;
    std::unique_ptr<CAcquireDlg> panel_;
    std::unique_ptr<CBrowserWindow> browser_;
    std::vector<std::unique_ptr<CAcquireDlg>> retiredPanels_;
    std::vector<std::unique_ptr<CBrowserWindow>> retiredBrowsers_;
    QObject deletionContext_;  // cancels a pending deletion when we go first
};
