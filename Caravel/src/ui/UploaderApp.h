#pragma once
// The upload program's start: one copy per user, the install folder, the window and its logic,
// and the queue the upload server left.
#include <memory>
#include <string>

namespace caravel {

class CUploaderDlg;
class UploaderWindow;

class CUploaderApp {
public:
    CUploaderApp();
    ~CUploaderApp();

    // False when the program must end at once.
    bool InitInstance();
    int ExitInstance();

    // True when no other copy of the program runs for this user; tells the user otherwise.
    static bool CheckSingleInstance();
    // <ProgramFilesDir>/Vorel/Skylet/, empty when the folder is not registered.
    static std::string GetInstallDir();

    CUploaderDlg* GetMainDlg() { return m_logic.get(); }

    // The install folder found at start (for the dialogs' help).
    static const std::string& InstallDir();

private:
    std::unique_ptr<UploaderWindow> m_window;
    std::unique_ptr<CUploaderDlg> m_logic;
    std::string m_installDir;
};

}  // namespace caravel
