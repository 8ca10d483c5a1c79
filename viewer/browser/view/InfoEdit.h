#pragma once
// The read-only box with the information text of the single selected picture.
#include <QPlainTextEdit>

#include <string>

class CInfoEdit : public QPlainTextEdit {
public:
    explicit CInfoEdit(QWidget* parent = nullptr);
    // Shows the text from its top; both scroll bars only when it has more than one line.
    void SetInfoText(const std::string& text);
    int LineCount() const;
};
