#include "viewer/shell/ui/UiText.h"

#include "viewer/shell/common/LangString.h"

#include <QApplication>
#include <QWidget>

std::string UiText(uint32_t id)
{
    return CLangString(id).Text();
}

QString UiQText(uint32_t id)
{
    return QString::fromStdString(UiText(id));
}

std::string FormatUiText(const std::string& format, const std::string& value)
{
    std::string out;
    out.reserve(format.size() + value.size());
    bool done = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            char next = format[i + 1];
            if (next == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (!done && (next == 's' || next == 'd')) {
                out += value;
                done = true;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

QFont LangFont(uint32_t faceId, uint32_t sizeId)
{
    QFont font = QApplication::font();
    std::string face = UiText(faceId);
    int points = LangInt(sizeId);
    if (face.empty() || points <= 0)
        return font;
    font.setFamily(QString::fromStdString(face));
    font.setPointSize(points);
    return font;
}

QFont DialogFont()
{
    return LangFont(kTextDialogFontFace, kTextDialogFontSize);
}

void ApplyFont(QWidget* widget, const QFont& font)
{
    if (!widget)
        return;
    widget->setFont(font);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->setFont(font);
}
