#pragma once
// The viewer's application object: checks the installation, binds the language
// library, makes the settings and working folders, refuses unsupported systems
// and a second copy (handing an AutoPlay drive to the first), classifies the
// command line and runs the hidden main frame. Everything the rest of the
// program reaches through the application lives here and is freed at exit.
#include "viewer/shell/CommandLine.h"
#include "viewer/shell/TargetParts.h"
#include "viewer/shell/WorkWindows.h"
#include "viewer/shell/WorkingFolders.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/settings/ViewSettings.h"

#include "platform/proc/SingleInstanceLock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class CLumoraApp;

// What start-up takes from its surroundings; tests replace parts of it.
struct AppEnvironment {
    std::vector<std::string> args;                              // argv[1..]
    std::function<int()> versionCode;                           // empty: CWinVersion
    std::function<bool(const std::string&, uint64_t)> hasFreeSpace;  // empty: HasFreeSpace
    std::function<std::unique_ptr<TargetParts>(CLumoraApp&)> makeTargetParts;  // empty: SourceTargetParts
    std::unique_ptr<WorkWindows> workWindows;                   // empty: AppWorkWindows
    std::function<void()> quit;                                 // ends the event loop; empty: the application's
    uint32_t broadcastRetryLimitMs = 30000;                     // a second copy gives up after this
};

class CLumoraApp {
public:
    static constexpr uint64_t kRequiredFreeBytes = 41943040;  // 40 MiB
    static constexpr const char* kProductTitle = "Lumora 4";  // 62051

    explicit CLumoraApp(AppEnvironment environment = {});
    ~CLumoraApp();
    CLumoraApp(const CLumoraApp&) = delete;
    CLumoraApp& operator=(const CLumoraApp&) = delete;

    // The start-up sequence; false ends the program.
    bool InitInstance();
    // The clean-ups at the end; the exit code.
    int ExitInstance();

    // Same as the folder helper of the same name (kept here as the program's entry).
    static void CleanFolder(std::string folder, bool removeSelf, int minAgeHours, bool removeEmptyYoung);
    // Another copy's work window found: raised, true. Never changes previousInstanceFound.
    bool FindPreviousInstance();
    // The command line's mode; modes 2 and 3 write their MessageID record.
    int GetCommandLineMode();
    void ReadCommandLine();   // classifies only, writes no device record
    // Broadcasts the registered message with the command-line device index to the
    // running copy, retrying every second until it is handed over (bounded).
    bool PostDeviceToRunningCopy();

    // Reached by the rest of the program.
    CViewSettings* Settings() const { return settings_.get(); }
    CMainFrame* MainFrame() const { return mainFrame_.get(); }
    TargetParts& Parts() const { return *parts_; }
    WorkWindows& Windows() const { return *windows_; }
    int GetLanguageIndex() const { return languageIndex_; }
    uint16_t GetLanguageId() const { return languageId_; }
    int OsVersionCode() const { return osVersionCode_; }
    bool WebUploadAvailable() const { return folders_.webUploadAvailable; }
    const std::string& TempFolder() const { return folders_.temp; }
    const std::string& ImagesFolder() const { return folders_.images; }
    const std::string& CatalogsFolder() const { return folders_.catalogs; }
    const std::string& WebUploadFolder() const { return folders_.webUpload; }
    bool PreviousInstanceFound() const { return previousInstanceFound_; }
    int CommandLineIndex() const { return commandLine_.index; }

    // The open target (set and cleared by the main frame and the browser).
    bool targetOpen = false;
    int currentIndex = 0;
    MessageIdRecord targetRecord;
    // Built-in viewer window classes and their background colour (made when a target opens).
    std::array<std::string, 3> viewerClassNames;
    uint32_t backgroundColour = 0;  // 0x00BBGGRR; 0 = none made

    // Ends the program's event loop (the main frame closed).
    void Quit();

private:
    bool ReadInstallation();
    bool BindLanguage();
    bool LoadSettingsAndFolders();
    bool CheckVersion();
    bool CheckSingleInstance();
    bool CheckFreeSpace();
    bool ProcessShellCommand();
    bool CreateMainFrame();
    void PostStartUpChoice();
    void PostByMode();
    void ShowStartupFailure(uint32_t textId, const std::string& argument = {});
    bool AcquireInstanceLock();

    AppEnvironment env_;
    std::unique_ptr<TargetParts> parts_;
    std::unique_ptr<WorkWindows> windows_;
    std::unique_ptr<CViewSettings> settings_;
    std::unique_ptr<CMainFrame> mainFrame_;
    int osVersionCode_ = 0;
    int languageIndex_ = -1;
    uint16_t languageId_ = 0;
    WorkingFolders folders_;
    CLangString titlePrefix1_;  // 62101, loaded when first needed
    CLangString titlePrefix2_;  // 62102
    bool previousInstanceFound_ = false;
    CommandLineTarget commandLine_;
    plat::SingleInstanceLock instanceLock_;
};

// The application object of this process (null before it is made).
CLumoraApp* TheApp();
