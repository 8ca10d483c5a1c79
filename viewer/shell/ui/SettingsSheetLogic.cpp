#include "viewer/shell/ui/SettingsSheetLogic.h"

#include "viewer/shell/ui/UiText.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <filesystem>

SheetValues SheetValuesFrom(const CViewSettings& settings)
{
    SheetValues v;
    v.startUp.AutoStart = settings.AutoStart;
    v.startUp.StartType = settings.StartType;
    v.transfer = settings.GetTransferSettings();
    v.database = settings.GetDatabaseSettings();
    v.fileInfo = settings.GetFileInfoSettings();
    v.viewer = settings.GetViewerSettings();
    v.imagesFolder = settings.DefaultFolder();
    return v;
}

void StoreSheetValues(const SheetValues& values, CViewSettings* settings)
{
    settings->AutoStart = values.startUp.AutoStart;
    settings->StartType = values.startUp.StartType;
    settings->SetTransferSettings(values.transfer);
    settings->SetDatabaseSettings(values.database);
    settings->SetFileInfoSettings(values.fileInfo);
    settings->SetViewerSettings(values.viewer);
}

std::string NameExample(const std::string& prefix, uint32_t prefixSuffix, uint32_t contents,
                        const std::string& serial, const std::tm& sheetTime)
{
    std::string name;
    if (prefixSuffix == 0)
        name += prefix;
    if (contents == 3) {
        char buffer[32] = {};
        std::strftime(buffer, sizeof buffer, "%y%m%d%H%M%S", &sheetTime);
        name += buffer;
    } else if (contents == 1) {
        name += "100ABCDE";
    } else if (contents == 2) {
        name += "ABCD0001";
    }
    if (!name.empty())
        name += "_";
    name += serial;
    if (prefixSuffix == 1)
        name += prefix;
    return name + ".jpg";
}

namespace {

int Utf16Length(const std::string& text)
{
    return static_cast<int>(QString::fromStdString(text).size());
}

// Keeps typed when every character passes and it fits; else the previous text,
// with the caret moved back over what was typed.
template <typename Pass>
FieldFilter Filter(const std::string& previous, const std::string& typed, int maxLength, Pass pass)
{
    const bool allPass = std::all_of(typed.begin(), typed.end(), [&](char c) { return pass(static_cast<unsigned char>(c)); });
    const int length = Utf16Length(typed);
    if (allPass && length <= maxLength)
        return {typed, false, 0};
    return {previous, true, std::max(length - Utf16Length(previous), 0)};
}

bool IsAsciiAlnum(unsigned char c)
{
    return c < 0x80 && std::isalnum(c);
}

bool IsAsciiDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

FieldFilter FilterPrefixText(const std::string& previous, const std::string& typed)
{
    return Filter(previous, typed, kPrefixTextMax, IsAsciiAlnum);
}

FieldFilter FilterSerialNumber(const std::string& previous, const std::string& typed)
{
    FieldFilter f = Filter(previous, typed, kSerialNumberMax, IsAsciiDigit);
    if (f.refused)
        return f;
    std::size_t first = f.text.find_first_not_of('0');
    f.text = first == std::string::npos ? "0" : f.text.substr(first);
    return f;
}

CatalogProgram ClassifyCatalogProgram(const std::string& path)
{
    const std::filesystem::path p(path);
    const std::string name = Lower(p.filename().string());
    const std::string stem = Lower(p.stem().string());
    for (int i = 0; i < 3; ++i) {
        const std::string supported = Lower(UiText(sheet_text::kCatalogNames[i]));
        if (supported.empty())
            continue;
        if (name == supported || stem == supported || name == supported + ".exe")
            return i == 0 ? CatalogProgram::Main : CatalogProgram::Companion;
    }
    return CatalogProgram::Unsupported;
}

bool IsSupportedCatalogProgram(const std::string& path)
{
    return !path.empty() && ClassifyCatalogProgram(path) != CatalogProgram::Unsupported;
}

bool CatalogControlsEnabled(uint32_t checkRegistry, const std::string& program)
{
    return checkRegistry != 0 && IsSupportedCatalogProgram(program);
}

bool PrefixReadOnly(uint32_t prefixSuffix, uint32_t saveImage)
{
    return prefixSuffix == 2 || saveImage == 0;
}
