// Caption records read from pictures: parse, then change caption and keywords
// the way the transfer does, and read the result back.
#include "viewer/transfer/CaptionRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCaptionRecord record;
    if (!record.SetData(data, size)) return 0;
    record.Parse();
    const std::string caption(data, data + (size > 3000 ? 3000 : size));
    const bool captionSet = record.SetCaption(caption.data(), caption.size());
    record.AddKeyword("sea", 3);
    char buffer[80];
    for (int32_t i = 0; i < record.GetKeywordCount(); ++i) record.GetKeyword(buffer, sizeof buffer, i);
    CCaptionRecord back;
    // a caption we set is always within the limit, and reads back as set
    if (captionSet && back.SetData(record.Bytes().data(), record.Bytes().size()) && back.Parse() &&
        back.Caption() != record.Caption())
        __builtin_trap();
    if (captionSet && record.Caption().size() > CCaptionRecord::kMaxCaption) __builtin_trap();
    return 0;
}
