#pragma once
// Texts of the program's own string table that the picture sources use.
namespace source_strings {

inline constexpr int kLibraryFolderId = 62057;
inline constexpr const char* kLibraryFolder = "/Vorel/Library";      // 62057
inline constexpr const char* kLibraryFile = "JqFileLib.so";
inline constexpr int kPrintOrderPathId = 62059;
inline constexpr const char* kPrintOrderPath = "/MISC/AUTPRINT.MRK";  // 62059
inline constexpr const char* kVendorName = "\"Vorel Corporation\"";   // 62060
inline constexpr const char* kVendorTag = "-ATR";                     // 62061
inline constexpr const char* kVendorProduct = "\"Dezer Evedaziz Edaveda V1.0\"";  // 62062

}  // namespace source_strings
