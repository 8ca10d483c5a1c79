#pragma once
// Language texts of the viewer windows.
#include <QString>

#include <cstdint>

QString ViewerText(uint32_t id);
