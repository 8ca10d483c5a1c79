#include "platform/registry/RegFaultPoint.h"
#include "platform/registry/RegPath.h"
#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <fstream>

using plat::Hive;
using plat::RegKey;
using plat::RegResult;
using plat::RegType;
using plat::Registry;
namespace fs = std::filesystem;

namespace plat {
void PrintTo(RegResult r, std::ostream* os) { *os << static_cast<int>(r) << " (" << describe(r) << ")"; }
}  // namespace plat

namespace {

struct PathCase {
    const char* path;
    RegResult result;
    std::size_t names;
};
void PrintTo(const PathCase& c, std::ostream* os) { *os << '"' << c.path << '"'; }

class KeyPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(KeyPaths, SplitFollowsTheRules) {
    std::vector<std::string> names;
    EXPECT_EQ(plat::splitKeyPath(GetParam().path, &names), GetParam().result);
    EXPECT_EQ(names.size(), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Table, KeyPaths,
                         ::testing::Values(PathCase{"", RegResult::Ok, 0}, PathCase{"\\", RegResult::Ok, 0},
                                           PathCase{"Software", RegResult::Ok, 1},
                                           PathCase{"Software\\Vorel\\VorelUploader\\", RegResult::Ok, 3},
                                           PathCase{"\\Software", RegResult::BadPath, 0},
                                           PathCase{"Software\\\\Vorel", RegResult::BadPath, 0},
                                           PathCase{"Software\\\\", RegResult::BadPath, 0},
                                           PathCase{"a\\b/c", RegResult::Ok, 2}));

TEST(KeyPaths, OverLongNameIsRefused) {
    std::vector<std::string> names;
    EXPECT_EQ(plat::splitKeyPath(std::string(255, 'k'), &names), RegResult::Ok);
    EXPECT_EQ(plat::splitKeyPath("a\\" + std::string(256, 'k'), &names), RegResult::BadPath);
}

class RegistryTest : public ::testing::Test {
protected:
    plat::testing::TempRoot root;
};

TEST_F(RegistryTest, OpenFailsWhenMissingAndCreateMakesParents) {
    RegKey key;
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software\\VOREL\\Lumora\\Settings\\StartUp", &key), RegResult::NotFound);
    EXPECT_FALSE(key.isOpen());
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Software\\VOREL\\Lumora\\Settings\\StartUp", &key), RegResult::Ok);
    EXPECT_TRUE(key.isOpen());
    RegKey parent;
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software\\VOREL\\Lumora\\Settings", &parent), RegResult::Ok);
    // create on an existing key just opens it
    RegKey again;
    EXPECT_EQ(Registry::create(Hive::CurrentUser, "software\\vorel\\lumora\\settings\\startup\\", &again), RegResult::Ok);
    std::vector<std::string> subs;
    ASSERT_EQ(parent.subKeyNames(&subs), RegResult::Ok);
    EXPECT_EQ(subs, std::vector<std::string>{"StartUp"});
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Software\\VOREL\\Lumora", &key), RegResult::Ok);
    ASSERT_EQ(key.setDword("AutoStart", 1), RegResult::Ok);
    RegKey other;
    ASSERT_EQ(Registry::open(Hive::CurrentUser, "SOFTWARE\\Vorel\\lumora\\", &other), RegResult::Ok);
    uint32_t v = 0;
    EXPECT_EQ(other.queryDword("AUTOSTART", &v), RegResult::Ok);
    EXPECT_EQ(v, 1u);
    ASSERT_EQ(other.setDword("autostart", 0), RegResult::Ok);
    std::vector<std::string> names;
    ASSERT_EQ(key.valueNames(&names), RegResult::Ok);
    EXPECT_EQ(names, std::vector<std::string>{"AutoStart"});
    EXPECT_EQ(key.queryDword("AutoStart", &v), RegResult::Ok);
    EXPECT_EQ(v, 0u);
    RegKey software;
    ASSERT_EQ(Registry::open(Hive::CurrentUser, "software", &software), RegResult::Ok);
    ASSERT_EQ(software.subKeyNames(&names), RegResult::Ok);
    EXPECT_EQ(names, std::vector<std::string>{"VOREL"});
}

TEST_F(RegistryTest, BadPathsGiveAClearError) {
    RegKey key;
    for (const char* p : {"\\Software", "Software\\\\Vorel", "a\\\\"}) {
        EXPECT_EQ(Registry::create(Hive::CurrentUser, p, &key), RegResult::BadPath) << p;
        EXPECT_EQ(Registry::open(Hive::CurrentUser, p, &key), RegResult::BadPath) << p;
        EXPECT_EQ(Registry::deleteTree(Hive::CurrentUser, p), RegResult::BadPath) << p;
    }
    EXPECT_EQ(Registry::deleteTree(Hive::CurrentUser, ""), RegResult::AccessDenied);
    EXPECT_EQ(Registry::deleteTree(Hive::ClassesRoot, "\\"), RegResult::AccessDenied);
}

// What each type stores, byte for byte, and what a size query answers.
struct StoredCase {
    const char* name;
    RegType type;
    std::string bytes;
};

TEST_F(RegistryTest, TypesAreStoredAsWritten) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Types", &key), RegResult::Ok);
    ASSERT_EQ(key.setString("Sz", "abc"), RegResult::Ok);
    ASSERT_EQ(key.setString("Multi", "E:", RegType::MultiString), RegResult::Ok);
    ASSERT_EQ(key.setDword("Dword", 0x01020304), RegResult::Ok);
    const char bin[] = {0, 1, 0, 2};
    ASSERT_EQ(key.set("Bin", RegType::Binary, bin, 4), RegResult::Ok);
    ASSERT_EQ(key.set("Password", RegType::None, "\0\x05z", 3), RegResult::Ok);
    ASSERT_EQ(key.set("Empty", RegType::Binary, nullptr, 0), RegResult::Ok);
    const StoredCase cases[] = {
        {"Sz", RegType::String, std::string("abc\0", 4)},
        {"Multi", RegType::MultiString, std::string("E:\0", 3)},  // one zero, not two
        {"Dword", RegType::Dword, std::string("\x04\x03\x02\x01", 4)},
        {"Bin", RegType::Binary, std::string(bin, 4)},
        {"Password", RegType::None, std::string("\0\x05z", 3)},
        {"Empty", RegType::Binary, std::string()},
    };
    for (const StoredCase& c : cases) {
        RegType t = RegType::None;
        uint32_t size = 0;
        ASSERT_EQ(key.query(c.name, &t, nullptr, &size), RegResult::Ok) << c.name;
        EXPECT_EQ(t, c.type) << c.name;
        ASSERT_EQ(size, c.bytes.size()) << c.name;
        std::string buf(size + 3, 'x');
        uint32_t n = static_cast<uint32_t>(buf.size());
        ASSERT_EQ(key.query(c.name, nullptr, buf.data(), &n), RegResult::Ok) << c.name;
        EXPECT_EQ(buf.substr(0, n), c.bytes) << c.name;
        if (size > 0) {
            uint32_t small = size - 1;
            EXPECT_EQ(key.query(c.name, nullptr, buf.data(), &small), RegResult::MoreData) << c.name;
            EXPECT_EQ(small, size) << c.name;
        }
    }
    uint32_t v = 0;
    EXPECT_EQ(key.queryDword("Sz", &v), RegResult::InvalidParameter);
    EXPECT_EQ(key.query("Missing", nullptr, nullptr, nullptr), RegResult::NotFound);
}

struct StringReadCase {
    std::string stored;
    uint32_t buffer;
    RegResult result;
    const char* text;
};

TEST_F(RegistryTest, StringReadsAreTerminatedAndNeverCut) {
    const StringReadCase cases[] = {
        {std::string("abc\0", 4), 4, RegResult::Ok, "abc"},
        {std::string("abc\0", 4), 3, RegResult::MoreData, ""},
        {std::string("ABCDE", 5), 5, RegResult::MoreData, ""},  // unterminated: needs one more byte
        {std::string("ABCDE", 5), 6, RegResult::Ok, "ABCDE"},
        {std::string("1000000\0", 8), 7, RegResult::MoreData, ""},
        {std::string("ABCDEFGHI\0", 10), 9, RegResult::MoreData, ""},
        {std::string(), 1, RegResult::Ok, ""},
        {std::string("\xe5\x86\x99\xe7\x9c\x9f\0", 7), 260, RegResult::Ok, "\xe5\x86\x99\xe7\x9c\x9f"},
    };
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Strings", &key), RegResult::Ok);
    for (const StringReadCase& c : cases) {
        ASSERT_EQ(key.set("V", RegType::MultiString, c.stored.data(), static_cast<uint32_t>(c.stored.size())), RegResult::Ok);
        std::string buf(c.buffer, '#');
        EXPECT_EQ(key.queryString("V", buf.data(), c.buffer), c.result) << c.stored << " into " << c.buffer;
        EXPECT_STREQ(buf.c_str(), c.text) << c.stored << " into " << c.buffer;
    }
    std::string text;
    ASSERT_EQ(key.setString("W", "first"), RegResult::Ok);
    ASSERT_EQ(key.queryString("W", &text), RegResult::Ok);
    EXPECT_EQ(text, "first");
}

TEST_F(RegistryTest, DefaultValueHasTheEmptyName) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::LocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Lumora.exe", &key),
              RegResult::Ok);
    ASSERT_EQ(key.setString("", "/opt/Lumora/Lumora"), RegResult::Ok);
    char buf[260];
    EXPECT_EQ(key.queryString("", buf, sizeof buf), RegResult::Ok);
    EXPECT_STREQ(buf, "/opt/Lumora/Lumora");
}

TEST_F(RegistryTest, DeleteValueAndKeyTree) {
    RegKey top;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Software\\VOREL\\Lumora\\MessageID", &top), RegResult::Ok);
    RegKey k26, k27, deep;
    ASSERT_EQ(top.createSubKey("26", &k26), RegResult::Ok);
    ASSERT_EQ(top.createSubKey("27\\x\\y", &deep), RegResult::Ok);
    ASSERT_EQ(k26.setString("Name", "mod", RegType::MultiString), RegResult::Ok);
    ASSERT_EQ(deep.setDword("n", 1), RegResult::Ok);

    EXPECT_EQ(k26.deleteValue("NAME"), RegResult::Ok);
    EXPECT_EQ(k26.deleteValue("Name"), RegResult::NotFound);

    ASSERT_EQ(Registry::deleteTree(Hive::CurrentUser, "software\\vorel\\lumora\\messageid"), RegResult::Ok);
    RegKey gone;
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software\\VOREL\\Lumora\\MessageID\\27\\x", &gone), RegResult::NotFound);
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software\\VOREL\\Lumora", &gone), RegResult::Ok);
    // handles of deleted keys say so, and writes through them do not resurrect anything
    EXPECT_EQ(deep.setDword("n", 2), RegResult::KeyDeleted);
    EXPECT_EQ(k26.setString("Name", "x"), RegResult::KeyDeleted);
    EXPECT_EQ(deep.query("n", nullptr, nullptr, nullptr), RegResult::KeyDeleted);
    RegKey sub;
    EXPECT_EQ(top.createSubKey("26", &sub), RegResult::KeyDeleted);
    EXPECT_EQ(Registry::deleteTree(Hive::CurrentUser, "Software\\VOREL\\Lumora\\MessageID"), RegResult::NotFound);
}

TEST_F(RegistryTest, EnumerationByIndex) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Enum", &key), RegResult::Ok);
    RegKey s;
    for (const char* n : {"beta", "Alpha", "gamma"}) ASSERT_EQ(key.createSubKey(n, &s), RegResult::Ok);
    ASSERT_EQ(key.setDword("b", 2), RegResult::Ok);
    ASSERT_EQ(key.setDword("A", 1), RegResult::Ok);
    std::string name;
    EXPECT_EQ(key.enumSubKey(0, &name), RegResult::Ok);
    EXPECT_EQ(name, "Alpha");
    EXPECT_EQ(key.enumSubKey(2, &name), RegResult::Ok);
    EXPECT_EQ(name, "gamma");
    EXPECT_EQ(key.enumSubKey(3, &name), RegResult::NoMoreItems);
    RegType t;
    std::string data;
    EXPECT_EQ(key.enumValue(1, &name, &t, &data), RegResult::Ok);
    EXPECT_EQ(name, "b");
    EXPECT_EQ(t, RegType::Dword);
    EXPECT_EQ(key.enumValue(2, &name), RegResult::NoMoreItems);
}

TEST_F(RegistryTest, ClassesRootIsAViewOfMachineClasses) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::ClassesRoot, "CLSID\\{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}\\LocalServer32", &key),
              RegResult::Ok);
    ASSERT_EQ(key.setString("", "/x/Skylet"), RegResult::Ok);
    RegKey viaMachine;
    ASSERT_EQ(Registry::open(Hive::LocalMachine,
                             "SOFTWARE\\Classes\\CLSID\\{5b1e7a20-3c44-4e8b-9d21-6a0f2c7e4b11}\\LocalServer32", &viaMachine),
              RegResult::Ok);
    std::string text;
    EXPECT_EQ(viaMachine.queryString("", &text), RegResult::Ok);
    EXPECT_EQ(text, "/x/Skylet");
    RegKey user;
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "SOFTWARE\\Classes\\CLSID", &user), RegResult::NotFound);
}

TEST_F(RegistryTest, ClosedHandleIsRefused) {
    RegKey key;
    EXPECT_EQ(key.setDword("x", 1), RegResult::InvalidHandle);
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "C", &key), RegResult::Ok);
    key.close();
    uint32_t v;
    EXPECT_EQ(key.queryDword("x", &v), RegResult::InvalidHandle);
}

TEST_F(RegistryTest, MissingHiveReadsAsNoKeys) {
    ASSERT_FALSE(fs::exists(Registry::hiveFile(Hive::LocalMachine)));
    RegKey key;
    EXPECT_EQ(Registry::open(Hive::LocalMachine, "SOFTWARE\\Vorel\\Lumora", &key), RegResult::NotFound);
    EXPECT_EQ(Registry::deleteTree(Hive::LocalMachine, "SOFTWARE"), RegResult::NotFound);
    EXPECT_FALSE(fs::exists(Registry::hiveFile(Hive::LocalMachine)));  // reading never makes a hive
}

TEST_F(RegistryTest, ForeignOrBrokenHiveFilesAreRefused) {
    fs::path file = Registry::hiveFile(Hive::CurrentUser);
    {
        std::ofstream f(file);
        f << "this is not a database, just some text that happens to be long enough to look like a header";
    }
    RegKey key;
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software", &key), RegResult::BadHive);
    EXPECT_EQ(Registry::create(Hive::CurrentUser, "Software", &key), RegResult::BadHive);

    // a SQLite file of someone else's making
    fs::remove(file);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE other(x)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software", &key), RegResult::BadHive);

    // a folder where the hive should be
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software", &key), RegResult::CantOpenHive);
    EXPECT_EQ(Registry::create(Hive::CurrentUser, "Software", &key), RegResult::CantOpenHive);
}

TEST_F(RegistryTest, LockedHiveAnswersBusyAndStillReads) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Locked", &key), RegResult::Ok);
    ASSERT_EQ(key.setDword("v", 7), RegResult::Ok);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Registry::hiveFile(Hive::CurrentUser).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Registry::setBusyTimeout(50);
    RegKey other;
    ASSERT_EQ(Registry::open(Hive::CurrentUser, "Locked", &other), RegResult::Ok);
    EXPECT_EQ(other.setDword("v", 8), RegResult::Busy);
    RegKey created;
    EXPECT_EQ(Registry::create(Hive::CurrentUser, "Locked\\Sub", &created), RegResult::Busy);
    uint32_t v = 0;
    EXPECT_EQ(other.queryDword("v", &v), RegResult::Ok);
    EXPECT_EQ(v, 7u);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    Registry::setBusyTimeout(5000);
    EXPECT_EQ(other.setDword("v", 8), RegResult::Ok);
    EXPECT_EQ(key.queryDword("v", &v), RegResult::Ok);
    EXPECT_EQ(v, 8u);
}

TEST_F(RegistryTest, HivesFollowTheCurrentRoot) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Here", &key), RegResult::Ok);
    {
        plat::testing::TempRoot inner;
        RegKey k;
        EXPECT_EQ(Registry::open(Hive::CurrentUser, "Here", &k), RegResult::NotFound);
    }
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Here", &key), RegResult::Ok);
}

TEST_F(RegistryTest, FailedWritesLeaveNothingHalfDone) {
    RegKey key;
    ASSERT_EQ(Registry::create(Hive::CurrentUser, "Software\\Vorel", &key), RegResult::Ok);
    ASSERT_EQ(key.setString("QueuedDataFile", "/old"), RegResult::Ok);
    RegKey tree;
    ASSERT_EQ(key.createSubKey("Tree\\Leaf", &tree), RegResult::Ok);
    for (plat::RegStep step : {plat::RegStep::BeginWrite, plat::RegStep::Commit}) {
        plat::ScopedRegistryFault fault([step](plat::RegStep s) { return s == step ? RegResult::WriteFailed : RegResult::Ok; });
        RegKey made;
        EXPECT_EQ(Registry::create(Hive::CurrentUser, "Software\\Vorel\\A\\B\\C", &made), RegResult::WriteFailed);
        EXPECT_FALSE(made.isOpen());
        EXPECT_EQ(key.setString("QueuedDataFile", "/new"), RegResult::WriteFailed);
        EXPECT_EQ(key.deleteValue("QueuedDataFile"), RegResult::WriteFailed);
        EXPECT_EQ(Registry::deleteTree(Hive::CurrentUser, "Software\\Vorel\\Tree"), RegResult::WriteFailed);
    }
    RegKey probe;
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software\\Vorel\\A", &probe), RegResult::NotFound);  // no parent left over
    EXPECT_EQ(Registry::open(Hive::CurrentUser, "Software\\Vorel\\Tree\\Leaf", &probe), RegResult::Ok);
    std::string text;
    EXPECT_EQ(key.queryString("QueuedDataFile", &text), RegResult::Ok);
    EXPECT_EQ(text, "/old");
}

}  // namespace
