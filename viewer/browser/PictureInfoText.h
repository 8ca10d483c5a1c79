#pragma once
// The information box's text about one picture: up to 33 lines of a label and
// a value each, every word from the language library, and the formatters that
// turn the camera's coded values into words (also used by transfer captions).
#include "viewer/browser/LangFormat.h"
#include "viewer/sources/PictureRecords.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kLabelSeparatorId = 62425;
inline constexpr uint32_t kLineEndId = 62572;
inline constexpr uint32_t kAbsentValueId = 62566;
inline constexpr int kShootingLabelCount = 33;

// A new string holding the language text of id.
std::string MakeLangStringObject(uint32_t id, const LangTextFn& text = LangText);

// The 33 labels, each followed by the separator; 0 when a label text is missing
// (the array then stops at it), else 1.
int32_t LoadShootingDataLabels(std::vector<std::string>& labels, const LangTextFn& text = LangText);

std::string FormatMakerTag80004(int32_t value, const LangTextFn& text = LangText);
std::string FormatMeteringMode(int32_t value, const LangTextFn& text = LangText);
std::string FormatExposureProgram(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80005(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80082(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80008(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80006(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80081(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80080(int32_t value, const LangTextFn& text = LangText);
std::string FormatMakerTag80094(int32_t value, const LangTextFn& text = LangText);

double BytesToKilobytes(uint32_t bytes);
double BytesToMegabytes(uint32_t bytes);

// Appends the text of record to infoText; nothing without a record or without
// shooting information. A movie read from a camera keeps only its file lines.
void BuildPictureInfoText(std::string& infoText, const PictureRecord* record, bool cameraSource,
                          const LangTextFn& text = LangText);
