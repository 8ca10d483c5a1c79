#include "platform/shell/HelpTopic.h"

#include "platform/fs/FileOps.h"
#include "platform/shell/HelpWindow.h"

#include <QPointer>

#include <algorithm>

namespace plat {

namespace fs = std::filesystem;

namespace {

QPointer<HelpWindow>& theWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

bool isHtmlPage(const fs::path& page) {
    std::string ext = page.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".htm" || ext == ".html";
}

}  // namespace

const char* helpResultName(HelpResult result) {
    switch (result) {
    case HelpResult::Ok: return "shown";
    case HelpResult::BadTopic: return "not a page of the help folder";
    case HelpResult::NotFound: return "the help page is missing";
    }
    return "failed";
}

fs::path helpFolderOf(const fs::path& installDir) { return installDir / "help"; }

HelpResult resolveHelpTopic(const fs::path& helpFolder, const std::string& topic, fs::path* page, QString* fragment) {
    std::string name = topic;
    std::string anchor;
    if (const size_t hash = name.find('#'); hash != std::string::npos) {
        anchor = name.substr(hash + 1);
        name.resize(hash);
    }
    std::replace(name.begin(), name.end(), '\\', '/');
    const fs::path relative(name);
    if (name.empty() || relative.is_absolute() || !isHtmlPage(relative)) return HelpResult::BadTopic;
    for (const fs::path& part : relative) {
        if (part == "..") return HelpResult::BadTopic;
    }
    std::error_code ec;
    const fs::path folder = fs::canonical(helpFolder, ec);
    if (ec) return HelpResult::NotFound;
    const fs::path real = fs::canonical(folder / relative, ec);
    if (ec || !fs::is_regular_file(real, ec)) return HelpResult::NotFound;
    if (!plat::isInsideFolder(real, folder)) return HelpResult::BadTopic;  // a link out of the folder
    *page = real;
    if (fragment) *fragment = QString::fromStdString(anchor);
    return HelpResult::Ok;
}

HelpResult showHelpTopic(const fs::path& installDir, const std::string& topic, QWidget* parent, std::string* error) {
    const fs::path folder = helpFolderOf(installDir);
    fs::path page;
    QString fragment;
    const HelpResult result = resolveHelpTopic(folder, topic, &page, &fragment);
    if (result != HelpResult::Ok) {
        if (error) *error = std::string(helpResultName(result)) + ": " + (folder / topic).string();
        return result;
    }
    std::error_code ec;
    const fs::path realFolder = fs::canonical(folder, ec);
    QPointer<HelpWindow>& window = theWindow();
    if (window && window->helpFolder() != realFolder) {  // another installation's help
        window->close();
        window = nullptr;
    }
    if (!window) window = new HelpWindow(realFolder, parent);
    window->showPage(page, fragment);
    window->show();
    window->raise();
    window->activateWindow();
    return HelpResult::Ok;
}

HelpWindow* currentHelpWindow() { return theWindow().data(); }

}  // namespace plat
