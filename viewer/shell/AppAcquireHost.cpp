#include "viewer/shell/AppAcquireHost.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/ui/PropStatus.h"
#include "viewer/shell/ui/UiText.h"

namespace {
constexpr uint32_t kTextSettingsTitle = 62701;
}

void RunAppSettingsSheet(CViewSettings* settings, QWidget* parent)
{
    if (!settings)
        return;
    CPropStatus sheet(UiText(kTextSettingsTitle), parent);
    sheet.LoadFromSettings(*settings);
    if (sheet.DoModal() == QDialog::Accepted) {
        sheet.SaveToSettings(settings);
        settings->SaveSettings();
    }
}

CViewSettings* AppAcquireHost::Settings()
{
    return app_.Settings();
}

bool AppAcquireHost::WebUploadAvailable()
{
    return app_.WebUploadAvailable();
}

plat::WindowHandle AppAcquireHost::MainFrame()
{
    CMainFrame* frame = app_.MainFrame();
    return frame ? frame->Handle() : plat::WindowHandle{};
}

void AppAcquireHost::KillStatusTimer()
{
    if (CMainFrame* frame = app_.MainFrame())
        frame->KillStatusTimer();
}

void AppAcquireHost::ConnectTarget()
{
    if (CMainFrame* frame = app_.MainFrame())
        frame->ConnectTarget();
}

void AppAcquireHost::ShowHelpTopic(uint32_t contextId)
{
    if (CMainFrame* frame = app_.MainFrame())
        frame->ShowHelpTopic(contextId);
}

void AppAcquireHost::RunSettingsSheet(QWidget* parent)
{
    RunAppSettingsSheet(app_.Settings(), parent);
}

std::unique_ptr<TransferJob> AppAcquireHost::MakeTransferJob(int32_t)
{
    return std::make_unique<CtrlTransferJob>(&transferHost_);
}
