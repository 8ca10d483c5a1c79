#pragma once
// The monitor's own string table, compiled in: the texts the device controller
// and the viewer interface load by id (file names on the card, the device table,
// registry names of the capture gate, the viewer's switch and message name).
#include <cstdint>
#include <map>
#include <string>

using MonStringTable = std::map<uint32_t, std::string>;

// The program's table as shipped.
const MonStringTable& ProgramStrings();

// The text of id, or "" when the table has none (as a failed string load).
std::string LoadMonString(const MonStringTable& table, uint32_t id);

// Ids of the texts the monitor uses.
namespace MonStringId {
constexpr uint32_t AppName = 57344;
constexpr uint32_t DornModsFolder = 62001;   // below CommonFilesDir
constexpr uint32_t HiddenFile = 62003;
constexpr uint32_t DcimFolder = 62004;
constexpr uint32_t Im01Folder = 62005;
constexpr uint32_t MessageName = 62013;
constexpr uint32_t ViewerSwitch = 62014;
constexpr uint32_t MainTitle = 62051;
constexpr uint32_t OtherCaptureKey = 62052;
constexpr uint32_t OtherCaptureValue = 62053;
constexpr uint32_t ViewerCaptureKey = 62054;
constexpr uint32_t ViewerCaptureValue = 62055;
constexpr uint32_t ClassCount = 62056;
constexpr uint32_t FirstClassRow = 62057;
constexpr uint32_t ViewerTitle = 62102;      // in the language library, not here
}  // namespace MonStringId
