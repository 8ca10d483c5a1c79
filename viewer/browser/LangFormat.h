#pragma once
// Language texts used as printf formats. A format comes from a data file that a
// user may edit, so its conversions are checked against the arguments the
// program passes before it is used; a text that does not match is replaced by
// the arguments in their plain form.
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

using LangTextFn = std::function<std::string(uint32_t)>;

// The text of id from the program's language library (empty when missing).
std::string LangText(uint32_t id);

using FormatArg = std::variant<int64_t, double, std::string>;

// True when every conversion of format takes the argument of its place
// (d i u x X c: integers; f F e E g G: doubles; s: text) and the counts agree.
bool FormatMatches(const std::string& format, const std::vector<FormatArg>& args);
std::string FormatLang(const std::string& format, const std::vector<FormatArg>& args);
