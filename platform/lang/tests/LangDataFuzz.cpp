#include "platform/lang/LangDataFile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    plat::lang::LanguageTables tables;
    std::string error;
    plat::lang::DecodeLangData(std::string_view(reinterpret_cast<const char*>(data), size), &tables, &error);
    return 0;
}
