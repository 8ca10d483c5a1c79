#include "platform/shell/WebAddress.h"
#include "platform/testing/TempRoot.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace plat {
namespace {
namespace fs = std::filesystem;

TEST(WebAddressTest, OnlyWebAndMailAddressesAreOpenable) {
    struct Case {
        const char* address;
        bool openable;
    };
    const Case cases[] = {
        {"https://example.com/path?q=1&r=2", true},
        {"http://example.com", true},
        {"HTTP://Example.com/", true},
        {"mailto:someone@example.com", true},
        {"", false},
        {"example.com", false},
        {"/usr/share/doc", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"ftp://example.com/", false},
        {"http://", false},
        {"mailto:", false},
        {"http://example.com/a b", false},
        {"http://example.com/\nsecond", false},
        {"--help", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isOpenableAddress(c.address), c.openable) << c.address;
    }
}

class OpenerTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    fs::path bin = tempRoot.path() / "bin";
    fs::path out = tempRoot.path() / "opener-args";
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";

    void SetUp() override {
        fs::create_directories(bin);
        // The fake opener writes its argument count and arguments, one a line.
        const fs::path script = bin / "xdg-open";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > '" << out.string() << ".tmp'\nmv '"
                              << out.string() << ".tmp' '" << out.string() << "'\n";
        chmod(script.c_str(), 0755);
        setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
    }
    void TearDown() override { setenv("PATH", oldPath.c_str(), 1); }

    std::string waitForArguments() {
        for (int i = 0; i < 1000 && !fs::exists(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in(out);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(OpenerTest, AddressGoesToTheOpenerAsOneArgument) {
    ASSERT_EQ(openWebAddress("https://example.com/$(touch%20pwned)?a=1;b=2"), OpenResult::Ok);
    EXPECT_EQ(waitForArguments(), "1\nhttps://example.com/$(touch%20pwned)?a=1;b=2\n");
    EXPECT_FALSE(fs::exists(tempRoot.path() / "pwned"));
}

TEST_F(OpenerTest, RefusedAddressesAndMissingOpener) {
    EXPECT_EQ(openWebAddress("file:///etc/passwd"), OpenResult::Refused);
    setenv("PATH", (tempRoot.path() / "empty").string().c_str(), 1);
    EXPECT_EQ(openWebAddress("https://example.com/"), OpenResult::NoOpener);
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace plat
