#include "viewer/transfer/ui/TransTexts.h"

#include "viewer/shell/common/LangString.h"

std::string TransText(uint32_t id) {
    if (id == 0) return {};
    CLangString text;
    text.LoadLangString(id);
    return text.Text();
}

std::string PathLeaf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}
