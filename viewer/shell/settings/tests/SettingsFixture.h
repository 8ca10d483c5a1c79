#pragma once
// A throw-away machine with the installation values the installer writes.
#include "viewer/shell/common/RegistryNames.h"

#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        installDir_ = root_.path() / "Lumora";
        std::filesystem::create_directories(installDir_ / "Images");
        SetMachine(kLumoraMachineKey, kInstallDirValue, installDir_.string());
        SetMachine(kLumoraMachineKey, kVersionValue, "4.3.1");
        SetMachine(kLumoraMachineKey, kLanguageValue, "USA");
        SetMachine(kAppPathsKey, "", (installDir_ / "Lumora").string());
        SetMachine(kCurrentVersionKey, kCommonFilesDirValue, (root_.path() / "Common Files").string());
        SetMachine(kCurrentVersionKey, kProgramFilesDirValue, (root_.path() / "Program Files").string());
    }

    static void SetMachine(const char* key, const char* name, const std::string& value)
    {
        plat::RegKey k;
        ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, key, &k), plat::RegResult::Ok);
        ASSERT_EQ(k.setString(name, value, plat::RegType::String), plat::RegResult::Ok);
    }
    static void SetUserString(const std::string& key, const char* name, const std::string& value)
    {
        plat::RegKey k;
        ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, key, &k), plat::RegResult::Ok);
        ASSERT_EQ(k.setString(name, value, plat::RegType::MultiString), plat::RegResult::Ok);
    }
    static void SetUserDword(const std::string& key, const char* name, uint32_t value)
    {
        plat::RegKey k;
        ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, key, &k), plat::RegResult::Ok);
        ASSERT_EQ(k.setDword(name, value), plat::RegResult::Ok);
    }
    static bool UserDword(const std::string& key, const char* name, uint32_t* value)
    {
        plat::RegKey k;
        return plat::Registry::open(plat::Hive::CurrentUser, key, &k) == plat::RegResult::Ok &&
               k.queryDword(name, value) == plat::RegResult::Ok;
    }
    static std::string UserString(const std::string& key, const char* name, plat::RegType* type = nullptr)
    {
        plat::RegKey k;
        std::string s;
        if (plat::Registry::open(plat::Hive::CurrentUser, key, &k) != plat::RegResult::Ok ||
            k.queryString(name, &s, type) != plat::RegResult::Ok)
            return "<missing>";
        return s;
    }

    plat::testing::TempRoot root_;
    std::filesystem::path installDir_;
};
