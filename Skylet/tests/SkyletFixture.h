#pragma once
// A system root with the upload server registered, a recording upload program
// installed where the server looks for it, and the server's boxes logged.
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class SkyletFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path caravelPath() const { return root.path() / "Program Files/Vorel/Skylet/Caravel"; }
    void installCaravel();
    void holdCaravel(bool hold);
    // Records of the upload program's starts, waiting (bounded) for `atLeast` of them.
    std::vector<std::string> caravelRuns(std::size_t atLeast = 0);
    std::optional<std::string> queuedDataFile();
    std::string messages();
    std::vector<std::filesystem::path> queueFiles();
    // Processes of this root with that program name (servers and fake upload programs).
    std::vector<pid_t> processesOfRoot(const char* name);
    bool waitUntilGone(pid_t pid);

    plat::testing::TempRoot root;
};

std::string readText(const std::filesystem::path& p);
