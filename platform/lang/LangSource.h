#pragma once
// The text form of a language file, as translators edit it:
//
//   # comment
//   language 0x0409
//   61601 "Not enough free disk space.\nFree at least 40 MB."
//   menu 129
//     popup "&File"
//       item 32771 "&Open...\tCtrl+O"
//       separator
//       item 57665 "E&xit" grayed
//     end
//   end
//
// Texts are UTF-8 in double quotes with the escapes \n \r \t \" \\.
// An id may appear once per language.
#include "platform/lang/LangTables.h"

#include <string>

namespace plat::lang {

// Parses one source into tables (adding to what they hold). False with
// "<name>:<line>: reason" in *error on the first fault.
bool ParseLangSource(const std::string& text, const std::string& name, LanguageTables* tables, std::string* error);

}  // namespace plat::lang
