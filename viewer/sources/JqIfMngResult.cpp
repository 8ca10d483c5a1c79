#include "viewer/sources/JqIfMngResult.h"

#include <array>

namespace {

constexpr int32_t kLowest = -120;
constexpr int32_t kHighest = 107;
constexpr int32_t kGeneralFailureId = 61602;
constexpr int32_t kFirstMessageId = 61600;

struct CodeMessage {
    int32_t code;
    int32_t id;
};

// Codes of the range without a message are absent and come back unchanged.
constexpr std::array<CodeMessage, 40> kMessages{{
    {-88, 61682}, {-89, 61681}, {-90, 61679}, {-91, 61601}, {-92, 61668},
    {-93, 61647}, {-94, 61645}, {-95, 61646}, {-97, 61654}, {-98, 61654},
    {-99, 61643}, {-100, 61642}, {-101, 61637}, {-102, 61634}, {-103, 61624},
    {-104, 61619}, {-105, 61618}, {-106, 61617}, {-108, 61685}, {-109, 61613},
    {-110, 61614}, {-111, 61667}, {-112, 61611}, {-113, 61610}, {-114, 61602},
    {-115, 61616}, {-116, 61609}, {-117, 61600}, {-118, 61600}, {-119, 61608},
    {-120, 61607}, {100, 61667}, {101, 61616}, {102, 61663}, {103, 61668},
    {107, 61690}, {0, 0}, {0, 0}, {0, 0}, {0, 0},
}};

}  // namespace

int32_t GetErrorStringID(int32_t code, int32_t secondForm) {
    if (code < kLowest || code > kHighest || code == 0)
        return code;
    if (code == JqIfMngResult_NotFound)
        return secondForm != 0 ? 61648 : 61643;
    for (const CodeMessage& m : kMessages)
        if (m.id != 0 && m.code == code)
            return m.id;
    return code;
}

int32_t NormalizeErrorStringID(int32_t code) {
    const int32_t id = GetErrorStringID(code, 1);
    if (id == 0)
        return 0;
    return id < kFirstMessageId ? kGeneralFailureId : id;
}
