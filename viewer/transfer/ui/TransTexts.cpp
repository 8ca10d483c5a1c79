#include "viewer/transfer/ui/TransTexts.h"

#include "viewer/shell/common/LangString.h"

std::string TransText(uint32_t id) {
    if (id == 0) return {};
    CLangString text;
    text.LoadLangString(id);
    return text.Text();
}

std::string FillTransText(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
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
            if (next < args.size()) out += args[next++];
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string PathLeaf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}
