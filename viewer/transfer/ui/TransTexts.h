#pragma once
// Language texts of the transfer windows, and the safe filling of their places.
#include <cstdint>
#include <string>
#include <vector>

// The language text of id (empty when missing).
std::string TransText(uint32_t id);

// Fills "%d", "%s" and "%u" in order with args; "%%" is a percent sign. Other
// conversions are left as they stand, so an edited text can never misread them.
std::string FillTransText(const std::string& format, const std::vector<std::string>& args);

// The part of a path after its last "/" or "\".
std::string PathLeaf(const std::string& path);
