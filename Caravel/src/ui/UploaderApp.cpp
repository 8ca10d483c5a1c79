#include "Caravel/src/ui/UploaderApp.h"

#include "Caravel/src/RunFlags.h"
#include "Caravel/src/UploaderDlg.h"
#include "Caravel/src/ui/UploaderWindow.h"
#include "platform/proc/Process.h"
#include "platform/registry/Registry.h"
#include "platform/shell/HelpTopic.h"

#include <QKeySequence>
#include <QMessageBox>
#include <QShortcut>

#include <unistd.h>

namespace caravel {

namespace {
std::string g_installDir;
}

CUploaderApp::CUploaderApp() = default;

const std::string& CUploaderApp::InstallDir() { return g_installDir; }

CUploaderApp::~CUploaderApp()
{
    m_logic.reset();
    m_window.reset();
}

bool CUploaderApp::CheckSingleInstance()
{
    bool running = true;
    if (plat::isProgramRunning("caravel", &running, getpid()) != plat::ProcResult::Ok)
        return false;  // the list of programs could not be read: end silently
    if (!running)
        return true;
    QMessageBox box(QMessageBox::Warning, "Error",
                    "The Image Uploader is already running, close it down and try again",
                    QMessageBox::Ok | QMessageBox::Cancel);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
    return false;
}

std::string CUploaderApp::GetInstallDir()
{
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", &key) !=
        plat::RegResult::Ok)
        return {};
    std::string dir;
    plat::RegType type{};
    if (key.queryString("ProgramFilesDir", &dir, &type) != plat::RegResult::Ok || type != plat::RegType::String)
        return {};
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir + "Vorel/Skylet/";
}

bool CUploaderApp::InitInstance()
{
    // started for embedding or automation, the program runs as it would otherwise: it has no
    // class objects to offer, and a window-less copy would never end
    if (!CheckSingleInstance())
        return false;
    m_window = std::make_unique<UploaderWindow>();
    m_logic = std::make_unique<CUploaderDlg>(m_window.get(), UploaderSettings(), UploadQueue::DefaultWorkFolder());
    m_window->SetLogic(m_logic.get());
    UploaderWindow* window = m_window.get();
    CUploaderDlg* logic = m_logic.get();
    SetProgressSink([window, logic](int64_t done, int64_t total) {
        window->PostToUi([logic, done, total] { logic->SetProgress(done, total); });
    });
    m_logic->OnInitDialog();
    m_window->show();
    m_installDir = GetInstallDir();
    g_installDir = m_installDir;
    auto* help = new QShortcut(QKeySequence::HelpContents, window);
    QObject::connect(help, &QShortcut::activated, window,
                     [this, window] { plat::showHelpTopic(m_installDir, "maindlg.htm", window); });
    m_logic->ReadUploadQueue();
    return true;
}

int CUploaderApp::ExitInstance()
{
    if (m_logic)
        m_logic->JoinWorker();
    SetProgressSink({});
    m_logic.reset();
    m_window.reset();
    return 0;
}

}  // namespace caravel
