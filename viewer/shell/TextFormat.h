#pragma once
// Language texts with printf-style places ("%s", "%d"): each place takes the
// next argument as it is; a text is never used as a format of the C library.
#include <string>
#include <vector>

std::string FormatLangText(const std::string& format, const std::vector<std::string>& args);
