#pragma once
// The compiled language file that the programs map at start-up. Little-endian:
//   "VLNG", u32 version (1), u32 record count, then records
//   u8 kind (1 string, 2 menu), u8 0, u16 language id, u32 resource id, u32 length, bytes
// A menu's bytes are its items in order: u8 kind (1 command, 2 popup, 3 separator,
// 4 end of popup), u8 flags, u32 command, u16 text length, text.
#include "platform/lang/LangTables.h"

#include <string>
#include <string_view>

namespace plat::lang {

std::string EncodeLangData(const LanguageTables& tables);

// Every length is checked against the data before it is used; false with a
// reason on malformed data (nothing partial is returned).
bool DecodeLangData(std::string_view data, LanguageTables* tables, std::string* error);

}  // namespace plat::lang
