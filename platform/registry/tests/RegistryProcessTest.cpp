// Several real processes on one hive: writes of each are seen by the others at
// once, nothing is lost, and the command-line tool reads what the library wrote.
#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>

using plat::Hive;
using plat::RegKey;
using plat::RegResult;
using plat::Registry;

namespace {

constexpr int kWrites = 60;

// Child: writes its own values and reads the shared counter key after each write.
int writeFromChild(int child) {
    for (int i = 0; i < kWrites; ++i) {
        RegKey key;
        std::string path = "Software\\Vorel\\Child" + std::to_string(child);
        if (Registry::create(Hive::CurrentUser, path, &key) != RegResult::Ok) return 10;
        if (key.setDword("v" + std::to_string(i), static_cast<uint32_t>(i)) != RegResult::Ok) return 11;
        RegKey shared;
        if (Registry::create(Hive::CurrentUser, "Software\\Vorel\\Shared", &shared) != RegResult::Ok) return 12;
        if (shared.setString("last" + std::to_string(child), std::to_string(i)) != RegResult::Ok) return 13;
    }
    return 0;
}

std::string run(const std::string& cmd, int* status) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    std::array<char, 256> buf{};
    while (fgets(buf.data(), buf.size(), p)) out += buf.data();
    *status = pclose(p);
    return out;
}

std::string vreg(const plat::testing::TempRoot& root, const std::string& args, int* status) {
    std::string exe = (plat::testing::buildDir() / "platform/registry/vreg").string();
    return run("'" + exe + "' --root '" + root.path().string() + "' " + args + " 2>&1", status);
}

TEST(RegistryProcesses, ConcurrentWritersLoseNothing) {
    plat::testing::TempRoot root;
    constexpr int kChildren = 3;
    pid_t pids[kChildren];
    for (int c = 0; c < kChildren; ++c) {
        pids[c] = fork();
        ASSERT_GE(pids[c], 0);
        if (pids[c] == 0) _exit(writeFromChild(c));
    }
    // The parent writes too, in the same keys' parent, while the children run.
    for (int i = 0; i < kWrites; ++i) {
        RegKey key;
        ASSERT_EQ(Registry::create(Hive::CurrentUser, "Software\\Vorel\\Parent", &key), RegResult::Ok);
        ASSERT_EQ(key.setDword("v" + std::to_string(i), static_cast<uint32_t>(i)), RegResult::Ok);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    for (const std::string name : {"Child0", "Child1", "Child2", "Parent"}) {
        RegKey key;
        ASSERT_EQ(Registry::open(Hive::CurrentUser, "Software\\Vorel\\" + name, &key), RegResult::Ok) << name;
        std::vector<std::string> names;
        ASSERT_EQ(key.valueNames(&names), RegResult::Ok);
        EXPECT_EQ(names.size(), static_cast<std::size_t>(kWrites)) << name;
    }
    RegKey shared;
    ASSERT_EQ(Registry::open(Hive::CurrentUser, "Software\\Vorel\\Shared", &shared), RegResult::Ok);
    for (int c = 0; c < kChildren; ++c) {
        std::string text;
        EXPECT_EQ(shared.queryString("last" + std::to_string(c), &text), RegResult::Ok);
        EXPECT_EQ(text, std::to_string(kWrites - 1));
    }
}

TEST(RegistryProcesses, AWriteIsSeenByTheNextProcessAtOnce) {
    plat::testing::TempRoot root;
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Software\\Vorel\\VorelUploader\\", &key), RegResult::Ok);
    for (int i = 0; i < 5; ++i) {
        std::string file = "/tmp/vorel" + std::to_string(i);
        ASSERT_EQ(key.setString("QueuedDataFile", file), RegResult::Ok);
        int status = -1;
        std::string out = vreg(root, "get 'HKCU\\software\\vorel\\vorelUploader' QueuedDataFile", &status);
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(out, file + "\n");
    }
}

TEST(RegistryProcesses, ToolSetsGetsDeletesAndDumps) {
    plat::testing::TempRoot root;
    int status = -1;
    std::string out = vreg(root, "set 'HKLM\\SOFTWARE\\Vorel\\Lumora' Version sz 4.3.1", &status);
    ASSERT_EQ(status, 0) << out;
    out = vreg(root, "set 'HKLM\\SOFTWARE\\Vorel\\Lumora' Flag dword 0x10", &status);
    ASSERT_EQ(status, 0) << out;
    out = vreg(root, "set 'HKLM\\SOFTWARE\\Vorel\\Lumora' Blob binary 00ff", &status);
    ASSERT_EQ(status, 0) << out;

    RegKey key;
    ASSERT_EQ(Registry::open(Hive::LocalMachine, "SOFTWARE\\Vorel\\Lumora", &key), RegResult::Ok);
    char buf[16];
    EXPECT_EQ(key.queryString("Version", buf, sizeof buf), RegResult::Ok);
    EXPECT_STREQ(buf, "4.3.1");
    uint32_t v = 0;
    EXPECT_EQ(key.queryDword("flag", &v), RegResult::Ok);
    EXPECT_EQ(v, 16u);

    out = vreg(root, "dump HKLM", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("[HKLM\\SOFTWARE\\Vorel\\Lumora]"), std::string::npos) << out;
    EXPECT_NE(out.find("\"Version\" = sz \"4.3.1\\x00\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"Blob\" = binary 00ff"), std::string::npos) << out;

    out = vreg(root, "delete 'HKLM\\SOFTWARE\\Vorel\\Lumora' Flag", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(key.queryDword("flag", &v), RegResult::NotFound);
    out = vreg(root, "delete 'HKLM\\SOFTWARE\\Vorel'", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(key.queryString("Version", buf, sizeof buf), RegResult::KeyDeleted);

    // errors are reported, not crashed on
    out = vreg(root, "get 'HKLM\\SOFTWARE\\\\Vorel'", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("bad registry path"), std::string::npos) << out;
    out = vreg(root, "get 'HKXX\\SOFTWARE'", &status);
    EXPECT_NE(status, 0);
    out = vreg(root, "set 'HKCU\\A' v dword notanumber", &status);
    EXPECT_NE(status, 0);
}

}  // namespace
