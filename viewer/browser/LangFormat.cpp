#include "viewer/browser/LangFormat.h"

#include "viewer/shell/common/LangString.h"

#include <cstdio>
#include <cstring>

std::string LangText(uint32_t id) {
    if (id == 0) return {};
    CLangString text;
    text.LoadLangString(id);
    return text.Text();
}

namespace {

// One conversion of a format: its text ("%-8.2f") and its kind.
struct Conversion {
    size_t begin = 0;
    size_t end = 0;
    char kind = 0;   // 'i', 'd' (double), 's'
};

bool ParseConversions(const std::string& f, std::vector<Conversion>* out) {
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') continue;
        if (i + 1 < f.size() && f[i + 1] == '%') { ++i; continue; }
        Conversion c;
        c.begin = i;
        size_t j = i + 1;
        while (j < f.size() && std::strchr("-+ #0", f[j])) ++j;
        while (j < f.size() && f[j] >= '0' && f[j] <= '9') ++j;
        if (j < f.size() && f[j] == '.') {
            ++j;
            while (j < f.size() && f[j] >= '0' && f[j] <= '9') ++j;
        }
        while (j < f.size() && std::strchr("hlL", f[j])) ++j;   // sizes are the program's, not the text's
        if (j >= f.size()) return false;
        const char k = f[j];
        if (std::strchr("diuxXc", k)) c.kind = 'i';
        else if (std::strchr("fFeEgG", k)) c.kind = 'd';
        else if (k == 's') c.kind = 's';
        else return false;   // %n, %p, '*' widths and the like are never accepted
        c.end = j + 1;
        out->push_back(c);
        i = j;
    }
    return true;
}

char KindOf(const FormatArg& a) {
    return std::holds_alternative<int64_t>(a) ? 'i' : std::holds_alternative<double>(a) ? 'd' : 's';
}

// The conversion spec without length letters, with the program's own length.
std::string SpecFor(const std::string& f, const Conversion& c) {
    std::string spec;
    for (size_t i = c.begin; i + 1 < c.end; ++i)
        if (!std::strchr("hlL", f[i])) spec += f[i];
    if (c.kind == 'i') spec += "ll";
    spec += f[c.end - 1];
    return spec;
}

std::string Render(const std::string& spec, const FormatArg& a) {
    char buf[512];
    if (const auto* i = std::get_if<int64_t>(&a)) {
        if (spec.back() == 'c') std::snprintf(buf, sizeof buf, "%c", int(*i));
        else std::snprintf(buf, sizeof buf, spec.c_str(), static_cast<long long>(*i));
    } else if (const auto* d = std::get_if<double>(&a)) {
        std::snprintf(buf, sizeof buf, spec.c_str(), *d);
    } else {
        std::snprintf(buf, sizeof buf, spec.c_str(), std::get<std::string>(a).c_str());
    }
    return buf;
}

void AppendLiteral(std::string& out, const std::string& f, size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
        out += f[i];
        if (f[i] == '%' && i + 1 < to && f[i + 1] == '%') ++i;
    }
}

std::string Plain(const std::vector<FormatArg>& args) {
    std::string out;
    for (const auto& a : args) {
        if (!out.empty()) out += ' ';
        out += Render(KindOf(a) == 'i' ? "%lld" : KindOf(a) == 'd' ? "%g" : "%s", a);
    }
    return out;
}

}  // namespace

bool FormatMatches(const std::string& format, const std::vector<FormatArg>& args) {
    std::vector<Conversion> conv;
    if (!ParseConversions(format, &conv) || conv.size() != args.size()) return false;
    for (size_t i = 0; i < conv.size(); ++i)
        if (conv[i].kind != KindOf(args[i])) return false;
    return true;
}

std::string FormatLang(const std::string& format, const std::vector<FormatArg>& args) {
    std::vector<Conversion> conv;
    if (!FormatMatches(format, args) || !ParseConversions(format, &conv)) return Plain(args);
    std::string out;
    size_t at = 0;
    for (size_t i = 0; i < conv.size(); ++i) {
        AppendLiteral(out, format, at, conv[i].begin);
        out += Render(SpecFor(format, conv[i]), args[i]);
        at = conv[i].end;
    }
    AppendLiteral(out, format, at, format.size());
    return out;
}
