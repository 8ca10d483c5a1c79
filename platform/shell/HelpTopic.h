#pragma once
// Help topics: HTML pages under <install folder>/help, shown in the help window.
#include <QString>

#include <cstdint>
#include <filesystem>
#include <string>

class QWidget;

namespace plat {

class HelpWindow;

enum class HelpResult : int32_t {
    Ok = 0,
    BadTopic,  // empty, absolute, "..", not an .htm/.html page, or a link out of the help folder
    NotFound,  // no such page (or no help folder)
};

const char* helpResultName(HelpResult result);

// The help folder of an installation.
std::filesystem::path helpFolderOf(const std::filesystem::path& installDir);

// Checks a topic, "01_Get_Started/h001_Get_Started.htm" or the same with
// "#anchor", against the help folder: Ok gives the page's real path and the
// anchor (empty when none).
HelpResult resolveHelpTopic(const std::filesystem::path& helpFolder, const std::string& topic,
                            std::filesystem::path* page, QString* fragment = nullptr);

// Shows the topic in the help window (made on first use, over `parent`; one per
// process, raised when already open). UI thread only. On failure nothing is
// shown and *error (when given) names the page that is missing or refused.
HelpResult showHelpTopic(const std::filesystem::path& installDir, const std::string& topic, QWidget* parent = nullptr,
                         std::string* error = nullptr);

// The open help window, or null.
HelpWindow* currentHelpWindow();

}  // namespace plat
