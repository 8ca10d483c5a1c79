#include "viewer/sources/tests/CardFixture.h"

#include <fstream>
#include <string>

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"

namespace fs = std::filesystem;

CardFixture::CardFixture(bool hiddenMarker) : card_(root_.path() / "card") {
    fs::create_directories(card_);
    plat::DriveMap().addManual('E', card_, plat::DriveType::Removable);
    file("Vorel001.dsc", 0);
    if (hiddenMarker)
        setAttributes("Vorel001.dsc", plat::FileAttr::Hidden);
}

fs::path CardFixture::file(const std::string& relative, size_t bytes) const {
    const fs::path p = card_ / relative;
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    std::string data(bytes, '\0');
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>(i * 7);
    out << data;
    return p;
}

void CardFixture::folder(const std::string& relative) const {
    fs::create_directories(card_ / relative);
}

void CardFixture::setAttributes(const std::string& relative, uint32_t bits) const {
    plat::writeDosAttributes(card_ / relative, bits);
}
