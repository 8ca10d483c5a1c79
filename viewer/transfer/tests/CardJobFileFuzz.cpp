// The card handshake files a camera writes: the order and the reply beside it are read
// whatever bytes they hold (the first input byte says whether a reply file exists and
// where the order ends), and the request check decides on them.
#include "viewer/transfer/CardJobFile.h"

#include "platform/fs/DriveMap.h"
#include "platform/testing/TempRoot.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Card {
    Card()
    {
        folder = root.path() / "card";
        std::filesystem::create_directories(folder / "MISC");
        ok = plat::DriveMap().addManual('E', folder).ok();
    }
    plat::testing::TempRoot root;
    std::filesystem::path folder;
    bool ok = false;
};

void Write(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Card card;
    if (!card.ok || size == 0) return 0;
    const bool withReply = (data[0] & 0x80) != 0;
    const size_t split = 1 + std::min<size_t>(data[0] & 0x7F, size - 1);
    const std::string order(data + 1, data + split), reply(data + split, data + size);
    const auto misc = card.folder / "MISC";
    Write(misc / "order.kvd", order);
    std::error_code ec;
    if (withReply)
        Write(misc / "reply.kvd", reply);
    else
        std::filesystem::remove(misc / "reply.kvd", ec);

    CCardJobFile files(4);  // drive E:
    files.IsTransferRequested();
    std::string text;
    for (size_t count : {size_t{0}, size_t{1}, CCardJobFile::kRecordBytes, size_t{1} << 20})
        if (files.ReadStatus(CCardJobFile::kOrder, &text, count) && text.size() > count) __builtin_trap();
    files.ReadStatus(CCardJobFile::kReply, &text);
    return 0;
}
