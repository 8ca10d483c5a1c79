#pragma once
// The settings sheet's rules apart from its windows: the file-name example, the
// filters of the prefix and serial-number fields, which catalog program was
// chosen, which controls are live, and the values the sheet edits.
#include "viewer/shell/settings/ViewSettings.h"

#include <ctime>
#include <string>

// Longest values the settings can read back (longer ones would be dropped at
// the next start), so the fields never take more.
inline constexpr int kPrefixTextMax = 8;
inline constexpr int kSerialNumberMax = 6;
inline constexpr int kKeywordMax = 31;
inline constexpr int kPathMax = 259;

// Every value the sheet's pages edit.
struct SheetValues {
    StartUpRecord startUp;
    TransferSettings transfer;
    DatabaseSettings database;
    FileInfoSettings fileInfo;
    ViewerSettings viewer;
    std::string imagesFolder;  // where folder choices fall back to
};
SheetValues SheetValuesFrom(const CViewSettings& settings);
void StoreSheetValues(const SheetValues& values, CViewSettings* settings);

// The example of a saved picture's name.
std::string NameExample(const std::string& prefix, uint32_t prefixSuffix, uint32_t contents,
                        const std::string& serial, const std::tm& sheetTime);

// A field's new text after a change: the text to keep and, when the change was
// refused, how far the caret moves back (in the field's UTF-16 units).
struct FieldFilter {
    std::string text;
    bool refused = false;
    int caretBack = 0;
};
// Letters and digits only, at most kPrefixTextMax.
FieldFilter FilterPrefixText(const std::string& previous, const std::string& typed);
// Digits only, at most kSerialNumberMax; empty becomes "0", leading zeros go.
FieldFilter FilterSerialNumber(const std::string& previous, const std::string& typed);

// The catalog program chosen, by its file name against the supported names
// (language texts 62203, 62204, 62205).
enum class CatalogProgram { Unsupported, Main, Companion };
CatalogProgram ClassifyCatalogProgram(const std::string& path);
bool IsSupportedCatalogProgram(const std::string& path);

// Live controls.
bool CatalogControlsEnabled(uint32_t checkRegistry, const std::string& program);
bool PrefixReadOnly(uint32_t prefixSuffix, uint32_t saveImage);
inline bool SerialReadOnly(uint32_t saveImage) { return saveImage == 0; }
inline bool StaticViewerEnabled(uint32_t viewerSoft) { return viewerSoft == 1; }

// The language texts of the sheet.
namespace sheet_text {
inline constexpr uint32_t kPageTitles[5] = {62702, 62703, 62704, 62705, 62706};
inline constexpr uint32_t kCatalogNames[3] = {62203, 62204, 62205};
inline constexpr uint32_t kDestinationTitle = 62207;
inline constexpr uint32_t kCatalogProgramTitle = 62208;
inline constexpr uint32_t kCatalogFileTitle = 62209;
inline constexpr uint32_t kViewerProgramTitle = 62211;
inline constexpr uint32_t kRegistrationTitle = 62212;
inline constexpr uint32_t kFolderFallback = 61622;
inline constexpr uint32_t kNotSaved = 61655;
inline constexpr uint32_t kMainCatalogSet = 61656;
inline constexpr uint32_t kCompanionCatalogSet = 61657;
inline constexpr uint32_t kNotACatalog = 61659;
inline constexpr uint32_t kNoCatalogFile = 61660;
inline constexpr uint32_t kChooseCatalog = 61661;
inline constexpr uint32_t kCreateCatalog = 61691;
inline constexpr uint32_t kCatalogNotMade = 61692;
}  // namespace sheet_text
