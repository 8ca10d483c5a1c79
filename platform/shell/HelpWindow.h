#pragma once
// The help window: HTML pages of the installed help folder in a text browser.
// Links to other pages of the folder open in the window; web and mail links go
// to the desktop's opener; anything else is ignored.
#include <QWidget>

#include <filesystem>

class QTextBrowser;
class QUrl;

namespace plat {

class HelpWindow : public QWidget {
public:
    // `helpFolder`: the folder whose pages the window may show.
    explicit HelpWindow(std::filesystem::path helpFolder, QWidget* parent = nullptr);

    const std::filesystem::path& helpFolder() const { return helpFolder_; }
    QTextBrowser* browser() const { return browser_; }

    // Shows `page` (a checked page of the help folder) scrolled to `fragment`.
    void showPage(const std::filesystem::path& page, const QString& fragment = {});

private:
    void followLink(const QUrl& link);

    std::filesystem::path helpFolder_;
    QTextBrowser* browser_ = nullptr;
};

}  // namespace plat
