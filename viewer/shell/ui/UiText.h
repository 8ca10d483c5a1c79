#pragma once
// Language texts and the language font for the viewer's dialogs.
#include <QFont>
#include <QString>

#include <cstdint>
#include <string>

class QWidget;

// The text of a language id; empty when the language library has none.
std::string UiText(uint32_t id);
QString UiQText(uint32_t id);

// A text with one "%s" or "%d" (the first conversion found) replaced by value.
// Language texts are data: nothing else in them is interpreted ("%%" stays "%").
std::string FormatUiText(const std::string& format, const std::string& value);

// The font named by two language texts (face, decimal point size); the
// application's font when the face is missing or the size is not positive.
QFont LangFont(uint32_t faceId, uint32_t sizeId);
// The dialog font of the viewer: texts 62201 and 62202.
QFont DialogFont();

// Gives widget and every child the font.
void ApplyFont(QWidget* widget, const QFont& font);

// Language ids shared by the dialogs.
inline constexpr uint32_t kTextDialogFontFace = 62201;
inline constexpr uint32_t kTextDialogFontSize = 62202;
