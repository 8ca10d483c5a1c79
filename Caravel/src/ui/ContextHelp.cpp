#include "Caravel/src/ui/ContextHelp.h"

#include "Caravel/src/ui/UploaderApp.h"
#include "platform/shell/HelpTopic.h"

#include <QWhatsThis>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace caravel {

namespace {

constexpr std::size_t kLargestPopupFile = 1 << 20;

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    std::size_t start = 0;
    while (start < text.size() && (text[start] == '\n' || text[start] == '\r')) ++start;
    return text.substr(start);
}

}  // namespace

std::map<int32_t, std::string> ParsePopupTexts(const std::string& fileText) {
    std::map<int32_t, std::string> popups;
    std::istringstream in(fileText);
    std::string line;
    int32_t current = -1;
    std::string text;
    auto finish = [&] {
        if (current >= 0) popups[current] = Trimmed(text);
        text.clear();
    };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(".topic", 0) == 0) {
            finish();
            char* end = nullptr;
            const long id = std::strtol(line.c_str() + 6, &end, 10);
            current = end != line.c_str() + 6 && id >= 0 && id <= INT32_MAX ? static_cast<int32_t>(id) : -1;
            continue;
        }
        if (current >= 0) text += line + "\n";
    }
    finish();
    return popups;
}

std::string PopupText(const std::filesystem::path& installDir, int32_t helpId) {
    std::ifstream file(plat::helpFolderOf(installDir) / kPopupFileName, std::ios::binary);
    if (!file) return {};
    std::string text(kLargestPopupFile, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    const auto popups = ParsePopupTexts(text);
    const auto it = popups.find(helpId);
    return it == popups.end() ? std::string() : it->second;
}

void InstallContextHelp(const std::vector<std::pair<QWidget*, int32_t>>& pairs) {
    for (const auto& [control, helpId] : pairs) {
        if (!control) continue;
        control->setContextMenuPolicy(Qt::CustomContextMenu);
        QObject::connect(control, &QWidget::customContextMenuRequested, control,
                         [control = control, helpId = helpId](const QPoint& at) {
                             const std::string text = PopupText(CUploaderApp::InstallDir(), helpId);
                             if (!text.empty())
                                 QWhatsThis::showText(control->mapToGlobal(at), QString::fromStdString(text), control);
                         });
    }
}

}  // namespace caravel
