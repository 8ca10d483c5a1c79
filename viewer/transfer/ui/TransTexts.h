#pragma once
// Language texts of the transfer windows. Their places are filled with
// FormatLangText (viewer/shell/common/TextFormat.h), never by the C library.
#include "viewer/shell/common/TextFormat.h"

#include <cstdint>
#include <string>
#include <vector>

// The language text of id (empty when missing).
std::string TransText(uint32_t id);

// The part of a path after its last "/" or "\".
std::string PathLeaf(const std::string& path);
