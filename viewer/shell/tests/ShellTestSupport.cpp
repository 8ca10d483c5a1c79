#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/SourceTargetParts.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/RegistryNames.h"

#include "platform/desktop/Desktop.h"
#include "platform/lang/LanguageLibrary.h"
#include "platform/msg/Messages.h"
#include "platform/msg/UiThread.h"
#include "platform/registry/Registry.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdlib>
#include <fstream>

namespace {

std::unique_ptr<plat::lang::LanguageLibrary> g_usa;

// The real sources; the drag-out, not built yet, stands in as made.
class SourcesWithDropStandIn : public SourceTargetParts {
public:
    using SourceTargetParts::SourceTargetParts;
    bool CreateDropSource() override { return true; }
};

}  // namespace

void EnsureQtApp()
{
    static int argc = 1;
    static char name[] = "lumora_shell_tests";
    static char* argv[] = {name, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

bool PumpUntil(const std::function<bool()>& done, int boundMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < boundMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

std::string UsaText(uint32_t id)
{
    if (!g_usa)
        g_usa = plat::lang::LanguageLibrary::load(plat::lang::FindLanguageFile("LumoraLang", "USA"));
    return g_usa ? g_usa->text(0x0409, id).value_or("") : "";
}

RecordingWindow::RecordingWindow()
{
    receiver_ = std::make_unique<plat::MessageReceiver>([this](uint32_t m, plat::WParam w, plat::LParam l) {
        messages.push_back({m, w, l});
        return plat::LResult{0};
    });
}

bool RecordingWindow::got(uint32_t message, plat::LParam* lParam) const
{
    for (const Received& r : messages)
        if (r.message == message) {
            if (lParam)
                *lParam = r.lParam;
            return true;
        }
    return false;
}

int RecordingWindow::count(uint32_t message) const
{
    int n = 0;
    for (const Received& r : messages)
        n += r.message == message;
    return n;
}

int FakeParts::OpenCameraController(const MessageIdRecord& record, const std::string& t1, const std::string& t2,
                                    bool* created)
{
    lastControllerRecord = record;
    lastTitle1 = t1;
    lastTitle2 = t2;
    *created = true;
    camera = controllerResult == 0;
    return controllerResult;
}

int FakeParts::NextStatus()
{
    if (statuses.empty())
        return 0;
    const int s = statuses.front();
    statuses.pop_front();
    return s;
}

int FakeParts::CameraTargetStatus(const std::string& folder)
{
    lastFolder = folder;
    return NextStatus();
}

bool FakeParts::CreateCardSource()
{
    if (!plat::isUiThread())
        ++callsOffUiThread;
    ++cardCreations;
    card = cardCreatable;
    return card;
}

int FakeParts::CardTargetStatus(const MessageIdRecord&, const std::string& folder)
{
    if (!plat::isUiThread())
        ++callsOffUiThread;
    lastFolder = folder;
    return NextStatus();
}

bool FakeParts::CreatePictureAccess()
{
    pictureAccess = pictureAccessOk;
    return pictureAccess;
}

bool FakeWindows::OpenTransferPanel(int index)
{
    ++panelOpens;
    browserFrame.reset();
    browserView.reset();
    panel.reset();
    if (!panelCreatable)
        return false;
    panel = std::make_unique<RecordingWindow>();
    plat::registerTopLevelWindow(panel->handle(), panelTitle, plat::WindowState::Normal,
                                 [restores = panelRestores] { ++*restores; });
    panelIndex = index;
    return true;
}

bool FakeWindows::OpenBrowser(bool maximised)
{
    ++browserOpens;
    lastMaximised = maximised;
    DestroyAll();
    if (!browserCreatable)
        return false;
    browserFrame = std::make_unique<RecordingWindow>();
    browserView = std::make_unique<RecordingWindow>();
    plat::registerTopLevelWindow(browserFrame->handle(), "Lumora 4 Browser", plat::WindowState::Normal, [] {});
    return true;
}

plat::WindowHandle FakeWindows::TransferPanel() const
{
    return panel ? panel->handle() : plat::WindowHandle{};
}

plat::WindowHandle FakeWindows::BrowserFrame() const
{
    return browserFrame ? browserFrame->handle() : plat::WindowHandle{};
}

plat::WindowHandle FakeWindows::BrowserView() const
{
    return browserView ? browserView->handle() : plat::WindowHandle{};
}

void FakeWindows::DestroyAll()
{
    if (panel)
        plat::unregisterTopLevelWindow(panel->handle());
    if (browserFrame)
        plat::unregisterTopLevelWindow(browserFrame->handle());
    panel.reset();
    browserFrame.reset();
    browserView.reset();
}

void ShellFixture::SetUp()
{
    EnsureQtApp();
    installDir_ = root_.path() / "Lumora";
    for (const char* f : {"temp", "Images", "Catalogs"})
        std::filesystem::create_directories(installDir_ / f);
    std::filesystem::create_directories(root_.path() / "Program Files");
    std::filesystem::create_directories(root_.path() / "Common Files");
    SetMachine(kLumoraMachineKey, kInstallDirValue, installDir_.string());
    SetMachine(kLumoraMachineKey, kVersionValue, "4.3.1");
    SetMachine(kLumoraMachineKey, kLanguageValue, "USA");
    SetMachine(kAppPathsKey, "", (installDir_ / "Lumora").string());
    SetMachine(kCurrentVersionKey, kCommonFilesDirValue, (root_.path() / "Common Files").string());
    SetMachine(kCurrentVersionKey, kProgramFilesDirValue, (root_.path() / "Program Files").string());
    plat::setMessageBoxResponder([this](const plat::MessageBoxRequest& r) {
        boxes_.push_back({r.text, r.icon, r.owner});
        return plat::kAnswerOk;
    });
}

void ShellFixture::TearDown()
{
    plat::setMessageBoxResponder({});
    PumpFor(0);
}

void ShellFixture::SetMachine(const char* key, const char* name, const std::string& value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setString(name, value, plat::RegType::String), plat::RegResult::Ok);
}

void ShellFixture::SetUserDword(const std::string& key, const char* name, uint32_t value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setDword(name, value), plat::RegResult::Ok);
}

void ShellFixture::SetUserString(const std::string& key, const char* name, const std::string& value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setString(name, value, plat::RegType::MultiString), plat::RegResult::Ok);
}

std::string ShellFixture::UserString(const std::string& key, const char* name)
{
    plat::RegKey k;
    std::string s;
    if (plat::Registry::open(plat::Hive::CurrentUser, key, &k) != plat::RegResult::Ok ||
        k.queryString(name, &s) != plat::RegResult::Ok)
        return "<missing>";
    return s;
}

void ShellFixture::InstallUploader()
{
    const auto dir = root_.path() / "Program Files" / "Vorel" / "Skylet";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "Skylet") << "#!/bin/sh\n";
}

std::unique_ptr<CLumoraApp> ShellFixture::MakeApp(std::vector<std::string> args, int versionCode)
{
    AppEnvironment env;
    env.args = std::move(args);
    env.versionCode = [versionCode] { return versionCode; };
    env.hasFreeSpace = [this](const std::string&, uint64_t) { return freeSpace_; };
    auto windows = std::make_unique<FakeWindows>();
    windows_ = windows.get();
    env.workWindows = std::move(windows);
    parts_ = nullptr;
    if (realSources_) {
        env.makeTargetParts = [](CLumoraApp& app) -> std::unique_ptr<TargetParts> {
            return std::make_unique<SourcesWithDropStandIn>(app);
        };
    } else {
        env.makeTargetParts = [this](CLumoraApp&) -> std::unique_ptr<TargetParts> {
            auto parts = std::make_unique<FakeParts>();
            parts_ = parts.get();
            return parts;
        };
    }
    env.quit = [this] { ++quits_; };
    env.broadcastRetryLimitMs = 3000;
    return std::make_unique<CLumoraApp>(std::move(env));
}

std::unique_ptr<CLumoraApp> ShellFixture::StartApp(std::vector<std::string> args, int versionCode)
{
    auto app = MakeApp(std::move(args), versionCode);
    EXPECT_TRUE(app->InitInstance());
    PumpUntil([this] { return windows_->panelOpens + windows_->browserOpens > 0; });
    PumpFor(50);
    return app;
}

bool ShellFixture::BoxShown(uint32_t textId) const
{
    const std::string text = UsaText(textId);
    for (const BoxRecord& b : boxes_)
        if (!text.empty() && b.text == text)
            return true;
    return false;
}

void ShellFixture::SetUpVersion(const std::string& v)
{
    SetMachine(kLumoraMachineKey, kVersionValue, v);
}

void ShellFixture::SetUpLanguage(const std::string& l)
{
    SetMachine(kLumoraMachineKey, kLanguageValue, l);
}

void ShellFixture::RemoveFolder(const std::string& name)
{
    std::filesystem::remove_all(installDir_ / name);
}
