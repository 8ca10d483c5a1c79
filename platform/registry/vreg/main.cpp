// vreg: read and change the suite's registry from the command line.
//   vreg [--root DIR] get    HIVE\key [value]
//   vreg [--root DIR] set    HIVE\key value TYPE data     (TYPE: sz, expand_sz, multi_sz, dword, binary, none)
//   vreg [--root DIR] delete HIVE\key [value]             (without value: the key and everything below it)
//   vreg [--root DIR] dump   [HIVE[\key]]
// HIVE is HKLM, HKCU or HKCR. An empty value name ("") is the key's default value.
// binary and none take hex digits; dword takes a decimal or 0x number.
#include "platform/registry/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using plat::Hive;
using plat::RegKey;
using plat::RegResult;
using plat::RegType;
using plat::Registry;

int usage() {
    std::fprintf(stderr,
                 "usage: vreg [--root DIR] get HIVE\\key [value]\n"
                 "       vreg [--root DIR] set HIVE\\key value sz|expand_sz|multi_sz|dword|binary|none data\n"
                 "       vreg [--root DIR] delete HIVE\\key [value]\n"
                 "       vreg [--root DIR] dump [HIVE[\\key]]\n");
    return 2;
}

int fail(const std::string& what, RegResult r) {
    std::fprintf(stderr, "vreg: %s: %s (%d)\n", what.c_str(), plat::describe(r), static_cast<int>(r));
    return 1;
}

bool splitHive(const std::string& full, Hive* hive, std::string* path) {
    std::size_t sep = full.find('\\');
    if (!Registry::parseHiveName(full.substr(0, sep), hive)) return false;
    *path = sep == std::string::npos ? std::string() : full.substr(sep + 1);
    return true;
}

const char* typeName(RegType t) {
    switch (t) {
    case RegType::None: return "none";
    case RegType::String: return "sz";
    case RegType::ExpandString: return "expand_sz";
    case RegType::Binary: return "binary";
    case RegType::Dword: return "dword";
    case RegType::MultiString: return "multi_sz";
    }
    return "unknown";
}

bool parseType(const std::string& s, RegType* t) {
    for (RegType c : {RegType::None, RegType::String, RegType::ExpandString, RegType::Binary, RegType::Dword,
                      RegType::MultiString}) {
        if (s == typeName(c)) {
            *t = c;
            return true;
        }
    }
    return false;
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char b[8];
            std::snprintf(b, sizeof b, "\\x%02x", c);
            out += b;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string hex(const std::string& data) {
    std::string out;
    for (unsigned char c : data) {
        char b[4];
        std::snprintf(b, sizeof b, "%02x", c);
        out += b;
    }
    return out;
}

std::string formatData(RegType t, const std::string& data) {
    if (t == RegType::Dword && data.size() == 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(data.data());
        uint32_t v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        char buf[32];
        std::snprintf(buf, sizeof buf, "0x%08x (%u)", v, v);
        return buf;
    }
    if (t == RegType::String || t == RegType::ExpandString || t == RegType::MultiString) return quoted(data);
    return hex(data);
}

void printValue(const std::string& name, RegType t, const std::string& data) {
    std::printf("%s = %s %s\n", name.empty() ? "@" : quoted(name).c_str(), typeName(t), formatData(t, data).c_str());
}

RegResult dumpKey(const RegKey& key, const std::string& title) {
    std::printf("[%s]\n", title.c_str());
    for (uint32_t i = 0;; ++i) {
        std::string name, data;
        RegType t = RegType::None;
        RegResult r = key.enumValue(i, &name, &t, &data);
        if (r == RegResult::NoMoreItems) break;
        if (r != RegResult::Ok) return r;
        printValue(name, t, data);
    }
    std::vector<std::string> subs;
    RegResult r = key.subKeyNames(&subs);
    if (r != RegResult::Ok) return r;
    for (const std::string& s : subs) {
        RegKey sub;
        if ((r = key.openSubKey(s, &sub)) != RegResult::Ok) return r;
        if ((r = dumpKey(sub, title + "\\" + s)) != RegResult::Ok) return r;
    }
    return RegResult::Ok;
}

bool parseBytes(RegType t, const std::string& text, std::string* out) {
    out->clear();
    if (t == RegType::String || t == RegType::ExpandString || t == RegType::MultiString) {
        *out = text;
        out->push_back('\0');
        return true;
    }
    if (t == RegType::Dword) {
        char* end = nullptr;
        unsigned long long v = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || *end || v > 0xffffffffull) return false;
        for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
        return true;
    }
    if (text.size() % 2) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        std::string byte = text.substr(i, 2);
        long v = std::strtol(byte.c_str(), &end, 16);
        if (*end) return false;
        out->push_back(static_cast<char>(v));
    }
    return true;
}

int cmdGet(const std::vector<std::string>& a) {
    if (a.empty() || a.size() > 2) return usage();
    Hive hive;
    std::string path;
    if (!splitHive(a[0], &hive, &path)) return usage();
    RegKey key;
    RegResult r = Registry::open(hive, path, &key);
    if (r != RegResult::Ok) return fail(a[0], r);
    if (a.size() == 1) {
        for (uint32_t i = 0;; ++i) {
            std::string name, data;
            RegType t = RegType::None;
            r = key.enumValue(i, &name, &t, &data);
            if (r == RegResult::NoMoreItems) return 0;
            if (r != RegResult::Ok) return fail(a[0], r);
            printValue(name, t, data);
        }
    }
    std::string data;
    RegType t = RegType::None;
    if ((r = key.queryBytes(a[1], &data, &t)) != RegResult::Ok) return fail(a[0] + " " + a[1], r);
    if (t == RegType::String || t == RegType::ExpandString || t == RegType::MultiString) {
        std::size_t z = data.find('\0');
        std::printf("%s\n", data.substr(0, z).c_str());
    } else {
        std::printf("%s\n", formatData(t, data).c_str());
    }
    return 0;
}

int cmdSet(const std::vector<std::string>& a) {
    if (a.size() != 4) return usage();
    Hive hive;
    std::string path, bytes;
    RegType t;
    if (!splitHive(a[0], &hive, &path) || !parseType(a[2], &t)) return usage();
    if (!parseBytes(t, a[3], &bytes)) {
        std::fprintf(stderr, "vreg: bad %s data: %s\n", a[2].c_str(), a[3].c_str());
        return 2;
    }
    RegKey key;
    RegResult r = Registry::create(hive, path, &key);
    if (r != RegResult::Ok) return fail(a[0], r);
    r = key.set(a[1], t, bytes.data(), static_cast<uint32_t>(bytes.size()));
    return r == RegResult::Ok ? 0 : fail(a[0] + " " + a[1], r);
}

int cmdDelete(const std::vector<std::string>& a) {
    if (a.empty() || a.size() > 2) return usage();
    Hive hive;
    std::string path;
    if (!splitHive(a[0], &hive, &path)) return usage();
    if (a.size() == 1) {
        RegResult r = Registry::deleteTree(hive, path);
        return r == RegResult::Ok ? 0 : fail(a[0], r);
    }
    RegKey key;
    RegResult r = Registry::open(hive, path, &key);
    if (r == RegResult::Ok) r = key.deleteValue(a[1]);
    return r == RegResult::Ok ? 0 : fail(a[0] + " " + a[1], r);
}

int cmdDump(const std::vector<std::string>& a) {
    if (a.size() > 1) return usage();
    std::vector<std::string> tops = a.empty() ? std::vector<std::string>{"HKLM", "HKCU"} : a;
    for (const std::string& top : tops) {
        Hive hive;
        std::string path;
        if (!splitHive(top, &hive, &path)) return usage();
        RegKey key;
        RegResult r = Registry::open(hive, path, &key);
        if (r == RegResult::NotFound && a.empty()) continue;  // a hive nobody wrote yet
        if (r != RegResult::Ok) return fail(top, r);
        std::string title = top;
        if (!title.empty() && title.back() == '\\') title.pop_back();
        if ((r = dumpKey(key, title)) != RegResult::Ok) return fail(top, r);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "--root") {
        setenv("VOREL_ROOT", args[1].c_str(), 1);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return usage();
    std::string cmd = args[0];
    args.erase(args.begin());
    if (cmd == "get") return cmdGet(args);
    if (cmd == "set") return cmdSet(args);
    if (cmd == "delete") return cmdDelete(args);
    if (cmd == "dump") return cmdDump(args);
    return usage();
}
