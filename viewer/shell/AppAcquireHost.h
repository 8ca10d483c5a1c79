#pragma once
// The transfer panel's view of the application and the main frame: settings,
// the status timer, the connection, help, the settings sheet and the transfer
// jobs (over the application's transfer host).
#include "viewer/transfer/ui/AcquireDlg.h"

class CLumoraApp;
class TransferHost;

class AppAcquireHost : public AcquireHost {
public:
    AppAcquireHost(CLumoraApp& app, TransferHost& transferHost) : app_(app), transferHost_(transferHost) {}

    CViewSettings* Settings() override;
    bool WebUploadAvailable() override;
    plat::WindowHandle MainFrame() override;
    void KillStatusTimer() override;
    void ConnectTarget() override;
    void ShowHelpTopic(uint32_t contextId) override;
    void RunSettingsSheet(QWidget* parent) override;
    std::unique_ptr<TransferJob> MakeTransferJob(int32_t mode) override;

private:
    CLumoraApp& app_;
    TransferHost& transferHost_;
};

// The settings sheet over the application's settings; saved on OK.
void RunAppSettingsSheet(CViewSettings* settings, QWidget* parent);
