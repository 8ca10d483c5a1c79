// vorel-langc: compiles language sources into the data file the programs load.
//   vorel-langc <output.vlang> <source.txt>...
#include "platform/lang/LangDataFile.h"
#include "platform/lang/LangSource.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: vorel-langc <output.vlang> <source.txt>...\n");
        return 2;
    }
    plat::lang::LanguageTables tables;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "vorel-langc: cannot read %s\n", argv[i]);
            return 1;
        }
        std::ostringstream text;
        text << in.rdbuf();
        std::string error;
        if (!plat::lang::ParseLangSource(text.str(), argv[i], &tables, &error)) {
            std::fprintf(stderr, "vorel-langc: %s\n", error.c_str());
            return 1;
        }
    }
    // Write beside, then rename: a reader never sees half a file.
    const std::string out = argv[1];
    const std::string temp = out + ".tmp";
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        file << plat::lang::EncodeLangData(tables);
        if (!file.good()) {
            std::fprintf(stderr, "vorel-langc: cannot write %s\n", temp.c_str());
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, out, ec);
    if (ec) {
        std::fprintf(stderr, "vorel-langc: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
