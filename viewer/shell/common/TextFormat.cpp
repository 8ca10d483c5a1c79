#include "viewer/shell/common/TextFormat.h"

std::string FormatLangText(const std::string& format, const std::vector<std::string>& args)
{
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        const char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
        } else if (kind == 's' || kind == 'd' || kind == 'u') {
            if (next < args.size())
                out += args[next++];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}
