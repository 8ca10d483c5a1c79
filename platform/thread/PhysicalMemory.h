#pragma once
// Total physical memory as the programs read it: 32 bits, saturated at 0xFFFFFFFF
// (a machine with more than 4 GiB reports 0xFFFFFFFF, never a wrapped small number).
#include <cstdint>
#include <functional>

namespace plat {

uint32_t totalPhysicalMemory32();

// 64-bit bytes to the 32-bit figure.
uint32_t saturateTo32(uint64_t bytes);

// Tests replace where the byte count comes from; an empty function restores the
// system's (sysinfo).
void setPhysicalMemorySource(std::function<uint64_t()> source);

}  // namespace plat
