#pragma once
// Language texts with printf-style places ("%s", "%d"): each place takes the
// next argument as it is ("%u" too); "%%" is a percent sign; other conversions are
// left as they stand. A text is never used as a format of the C library, so an
// edited language file can never make a text misread its arguments.
#include <string>
#include <vector>

std::string FormatLangText(const std::string& format, const std::vector<std::string>& args);
