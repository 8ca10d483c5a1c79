#include "viewer/shell/common/WinVersion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct VersionCase {
    OsVersionRecord record;
    int code;
    bool supported;
};

class WinVersionTable : public ::testing::TestWithParam<VersionCase> {};

}  // namespace

TEST_P(WinVersionTable, CodeAndSupport)
{
    const VersionCase& c = GetParam();
    CWinVersion v([&](bool) { return std::optional<OsVersionRecord>(c.record); });
    EXPECT_EQ(v.GetWindowsVersionCode(), c.code);
    EXPECT_EQ(v.IsSupportedWindows(), c.supported);
}

INSTANTIATE_TEST_SUITE_P(Rows, WinVersionTable,
    ::testing::Values(
        VersionCase{{1, 4, 0, 950}, 0, false},
        VersionCase{{1, 4, 0, 0x04000000u | 1111}, 1, false},
        VersionCase{{1, 4, 0, 1212}, 2, false},
        VersionCase{{1, 4, 10, 1998}, 3, true},
        VersionCase{{1, 4, 10, 0x040A0000u | 2222}, 4, true},
        VersionCase{{1, 4, 90, 3000}, 5, true},
        VersionCase{{1, 4, 50, 1}, -100, false},
        VersionCase{{2, 3, 51, 1057}, 6, false},
        VersionCase{{2, 4, 0, 1381}, 7, false},
        VersionCase{{2, 5, 0, 2195}, 8, true},
        VersionCase{{2, 5, 1, 2600}, 9, true},
        VersionCase{{2, 5, 2, 3790}, -100, false},
        VersionCase{{2, 6, 0, 6000}, -100, false},
        VersionCase{{2, 6, 1, 7600}, -100, false},
        VersionCase{{0, 5, 1, 2600}, -100, false}),
    [](const ::testing::TestParamInfo<VersionCase>& info) {
        const OsVersionRecord& r = info.param.record;
        return "p" + std::to_string(r.platformId) + "_" + std::to_string(r.major) + "_" + std::to_string(r.minor) +
               "_b" + std::to_string(r.build & 0xFFFF);
    });

TEST(WinVersion, ExtendedRequestFirstThenPlain)
{
    int calls = 0;
    CWinVersion v([&](bool extended) -> std::optional<OsVersionRecord> {
        ++calls;
        if (extended)
            return std::nullopt;
        return OsVersionRecord{2, 5, 1, 2600};
    });
    EXPECT_EQ(v.GetWindowsVersionCode(), 9);
    EXPECT_EQ(calls, 2);
    CWinVersion none([](bool) { return std::optional<OsVersionRecord>(); });
    EXPECT_EQ(none.GetWindowsVersionCode(), -100);
}

TEST(WinVersion, MachineRecordDefaultsToCode8AndCanBeChosen)
{
    ::unsetenv("VOREL_OS_VERSION");
    EXPECT_EQ(CWinVersion().GetWindowsVersionCode(), 8);
    ::setenv("VOREL_OS_VERSION", "2.5.1.2600", 1);
    EXPECT_EQ(CWinVersion().GetWindowsVersionCode(), 9);
    ::setenv("VOREL_OS_VERSION", "2.5.x", 1);
    EXPECT_EQ(CWinVersion().GetWindowsVersionCode(), -100);
    ::unsetenv("VOREL_OS_VERSION");
}
