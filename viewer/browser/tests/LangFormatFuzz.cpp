// Language texts are formats from an editable data file: any text, with any
// arguments, must format without reading or writing out of bounds.
#include "viewer/browser/LangFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string format(reinterpret_cast<const char*>(data), size);
    FormatLang(format, {int64_t(-7), 2.5, std::string("x")});
    FormatLang(format, {1e300, 1e300});
    FormatLang(format, {int64_t(INT64_MIN)});
    FormatLang(format, {});
    return 0;
}
