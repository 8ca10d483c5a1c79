// The installer as a program: lays out a root from a (fake) build and writes the
// machine values; a second run changes nothing; --check tells a usable root from
// an unusable one.
#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;
using plat::Hive;
using plat::RegKey;
using plat::RegResult;
using plat::Registry;

namespace {

struct ProgramRun {
    int status;
    std::string out;
};

ProgramRun runInstaller(const std::string& args) {
    std::string exe = (plat::testing::buildDir() / "platform/sysroot/vorel-install").string();
    ProgramRun r{-1, {}};
    FILE* p = popen(("'" + exe + "' " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    std::array<char, 512> buf{};
    while (fgets(buf.data(), buf.size(), p)) r.out += buf.data();
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

void makeFile(const fs::path& p, const std::string& text, bool executable = false) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
    if (executable) fs::permissions(p, fs::perms::owner_exec, fs::perm_options::add);
}

std::string machineString(const char* key, const char* name) {
    RegKey k;
    if (Registry::open(Hive::LocalMachine, key, &k) != RegResult::Ok) return "<no key>";
    std::string v;
    return k.queryString(name, &v) == RegResult::Ok ? v : "<no value>";
}

// A build with some of the suite's parts, and a source tree with help pages.
class InstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        build = root.path() / "fakebuild";
        source = root.path() / "fakesource";
        makeFile(build / "CMakeCache.txt", "CMAKE_HOME_DIRECTORY:INTERNAL=" + source.string() + "\n");
        makeFile(build / "viewer/Lumora", "#!/bin/sh\n", true);
        makeFile(build / "Skylet/Skylet", "#!/bin/sh\n", true);
        makeFile(build / "Caravel/Caravel", "#!/bin/sh\n", true);
        makeFile(build / "lang/LumoraLang.USA.vlang", "usa");
        makeFile(build / "lang/WakelyLang.JPN.vlang", "jpn");
        makeFile(build / "dornmods/SimCam.kx3", "module");
        makeFile(build / "dornmods/GPhotoCam.kx3", "module");
        makeFile(build / "dornmods/NoEntry.kx3", "a test module");
        makeFile(build / "Caravel/Tintara/libTintara.so.4.3.1", "library");
        fs::create_symlink("libTintara.so.4.3.1", build / "Caravel/Tintara/libTintara.so.4");
        makeFile(source / "outside/help/index.htm", "<p>help</p>");
        makeFile(source / "outside/help/01_Get_Started/h001_Get_Started.htm", "<p>start</p>");
        makeFile(source / "outside/help/CMakeLists.txt", "# not a page");
        base = "--build '" + build.string() + "' --root '" + root.path().string() + "'";
    }

    fs::path programFiles() const { return root.path() / "Program Files"; }
    fs::path commonFiles() const { return root.path() / "Common Files"; }

    plat::testing::TempRoot root;
    fs::path build, source;
    std::string base;
};

TEST_F(InstallerTest, LaysOutTheRootAndWritesTheMachineValues) {
    ProgramRun r = runInstaller(base);
    ASSERT_EQ(r.status, 0) << r.out;
    const fs::path install = root.path() / "Lumora";
    const fs::path skylet = programFiles() / "Vorel/Skylet";
    for (const fs::path& p : {install / "Lumora", install / "LumoraLang.USA.vlang", install / "WakelyLang.JPN.vlang",
                              install / "help/index.htm", install / "help/01_Get_Started/h001_Get_Started.htm",
                              skylet / "Skylet", skylet / "Caravel", skylet / "libTintara.so.4", commonFiles() / "Vorel/DornMods/SimCam.kx3",
                              commonFiles() / "Vorel/DornMods/GPhotoCam.kx3"})
        EXPECT_TRUE(fs::is_regular_file(p)) << p << "\n" << r.out;
    EXPECT_FALSE(fs::exists(commonFiles() / "Vorel/DornMods/NoEntry.kx3"));
    EXPECT_FALSE(fs::is_symlink(skylet / "libTintara.so.4"));  // the library itself, not a link into the build
    EXPECT_FALSE(fs::exists(install / "help/CMakeLists.txt"));
    EXPECT_TRUE(fs::is_directory(commonFiles() / "Vorel/Library"));
    for (const char* work : {"temp", "Images", "Catalogs", "Brovane"})  // the viewer's working folders
        EXPECT_TRUE(fs::is_directory(install / work)) << work;
    EXPECT_NE(fs::status(install / "Lumora").permissions() & fs::perms::owner_exec, fs::perms::none);
    EXPECT_NE(r.out.find("absent  Wakely"), std::string::npos) << r.out;

    EXPECT_EQ(machineString("SOFTWARE\\Vorel\\Lumora", "InstallDir"), install.string());
    EXPECT_EQ(machineString("SOFTWARE\\Vorel\\Lumora", "Version"), "4.3.1");
    EXPECT_EQ(machineString("SOFTWARE\\Vorel\\Lumora", "Language"), "USA");
    EXPECT_EQ(machineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"), programFiles().string());
    EXPECT_EQ(machineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir"), commonFiles().string());
    EXPECT_EQ(machineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Lumora.exe", ""),
              (install / "Lumora").string());
    EXPECT_EQ(machineString("SOFTWARE\\Classes\\CLSID\\{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}\\LocalServer32", ""),
              (skylet / "Skylet").string());
    RegKey uploader;
    ASSERT_EQ(Registry::open(Hive::CurrentUser, "Software\\Vorel\\VorelUploader\\", &uploader), RegResult::Ok);
    std::string url;
    EXPECT_EQ(uploader.queryString("BrovaneURL", &url), RegResult::Ok);
    // strings are REG_SZ with their terminating zero
    uint32_t size = 0;
    plat::RegType type;
    RegKey lumora;
    ASSERT_EQ(Registry::open(Hive::LocalMachine, "SOFTWARE\\Vorel\\Lumora", &lumora), RegResult::Ok);
    ASSERT_EQ(lumora.query("Version", &type, nullptr, &size), RegResult::Ok);
    EXPECT_EQ(type, plat::RegType::String);
    EXPECT_EQ(size, 6u);

    ProgramRun check = runInstaller("--check --root '" + root.path().string() + "'");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("present Lumora"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("missing Wakely"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("ok      upload server class"), std::string::npos) << check.out;
}

TEST_F(InstallerTest, SecondRunIsHarmless) {
    ASSERT_EQ(runInstaller(base).status, 0);
    makeFile(root.path() / "Lumora/Images/keep.jpg", "picture");  // the user's files stay
    ProgramRun again = runInstaller(base);
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_TRUE(fs::exists(root.path() / "Lumora/Images/keep.jpg"));
    for (const auto& e : fs::recursive_directory_iterator(root.path() / "Lumora"))
        EXPECT_EQ(e.path().filename().string().find(".installing"), std::string::npos) << e.path();
    RegKey key;
    ASSERT_EQ(Registry::open(Hive::LocalMachine, "SOFTWARE\\Vorel\\Lumora", &key), RegResult::Ok);
    std::vector<std::string> names;
    ASSERT_EQ(key.valueNames(&names), RegResult::Ok);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(runInstaller("--check --root '" + root.path().string() + "'").status, 0);
}

TEST_F(InstallerTest, OptionsChooseLanguageFolderAndUploader) {
    fs::path custom = root.path() / "elsewhere/Lumora Viewer";
    ProgramRun r = runInstaller(base + " --language jpn --install-dir '" + custom.string() + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(machineString("SOFTWARE\\Vorel\\Lumora", "Language"), "JPN");
    EXPECT_EQ(machineString("SOFTWARE\\Vorel\\Lumora", "InstallDir"), custom.string());
    EXPECT_TRUE(fs::is_regular_file(custom / "Lumora"));
    EXPECT_TRUE(fs::is_directory(custom / "Catalogs"));

    // leaving the uploader out afterwards removes it and its class registration
    r = runInstaller(base + " --no-uploader --install-dir '" + custom.string() + "'");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_FALSE(fs::exists(programFiles() / "Vorel/Skylet"));
    RegKey cls;
    EXPECT_EQ(Registry::open(Hive::ClassesRoot, "CLSID\\{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}", &cls), RegResult::NotFound);
    ProgramRun check = runInstaller("--check --root '" + root.path().string() + "'");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("no upload server"), std::string::npos) << check.out;

    for (const char* bad : {"ITA", "US", ""}) {
        ProgramRun b = runInstaller(base + " --language '" + bad + "'");
        EXPECT_NE(b.status, 0) << bad;
    }
}

TEST_F(InstallerTest, CheckRefusesUnusableRoots) {
    ProgramRun empty = runInstaller("--check --root '" + root.path().string() + "'");
    EXPECT_NE(empty.status, 0) << empty.out;
    EXPECT_NE(empty.out.find("FAIL"), std::string::npos);

    ProgramRun none = runInstaller("--check --root '" + (root.path() / "nothing-here").string() + "'");
    EXPECT_NE(none.status, 0) << none.out;

    ASSERT_EQ(runInstaller(base).status, 0);
    fs::remove_all(root.path() / "Program Files");
    ProgramRun gone = runInstaller("--check --root '" + root.path().string() + "'");
    EXPECT_NE(gone.status, 0) << gone.out;
    EXPECT_NE(gone.out.find("ProgramFilesDir"), std::string::npos) << gone.out;
}

TEST_F(InstallerTest, BrokenHiveFailsLoudly) {
    fs::remove_all(root.path() / "registry");
    makeFile(root.path() / "registry/machine.db", std::string(200, 'x'));
    ProgramRun r = runInstaller(base);
    EXPECT_NE(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("not a registry database"), std::string::npos) << r.out;
    EXPECT_NE(runInstaller("--check --root '" + root.path().string() + "'").status, 0);
}

TEST_F(InstallerTest, MissingBuildFolderIsAUsageError) {
    ProgramRun r = runInstaller("--build '" + (root.path() / "no-build").string() + "' --root '" + root.path().string() + "'");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(runInstaller("--root x").status, 2);
}

}  // namespace
