#pragma once
// The running system as one small version code: start-up refuses unsupported
// codes, and code 9 switches on the AutoPlay command line. The device monitor
// uses the same codes.
#include <cstdint>
#include <functional>
#include <optional>

// The version record the system reports.
struct OsVersionRecord {
    int32_t platformId = 0;  // 1: the 9x family, 2: the NT family
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
};

// Asks for the record; `extended` is the first (extended) request. An empty
// answer is a failed request.
using OsVersionQuery = std::function<std::optional<OsVersionRecord>(bool extended)>;

// The record this machine reports: NT 5.0 (code 8: no AutoPlay command line, the
// monitor reports drives), or the one in $VOREL_OS_VERSION written as
// "platform.major.minor.build" (e.g. "2.5.1.2600" for code 9), so tests and
// machines can choose; a malformed value reads as a failed request.
std::optional<OsVersionRecord> QueryOsVersion(bool extended);

constexpr int kUnknownWindowsVersion = -100;
// The code whose AutoPlay hands the viewer a drive root on its command line.
constexpr int kAutoPlayVersionCode = 9;

class CWinVersion {
public:
    CWinVersion();
    explicit CWinVersion(OsVersionQuery query);
    virtual ~CWinVersion() = default;

    int GetWindowsVersionCode() const;
    bool IsSupportedWindows() const;

    static int CodeOf(const OsVersionRecord& record);
    static bool IsSupportedCode(int code);

private:
    OsVersionQuery query_;
};
