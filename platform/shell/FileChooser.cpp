#include "platform/shell/FileChooser.h"

#include "platform/msg/UiThread.h"
#include "platform/shell/ChooserScript.h"

#include <QFileDialog>
#include <QString>

#include <algorithm>
#include <vector>

namespace plat {

namespace {

std::optional<std::string> answerOf(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

// Runs the dialog on the UI thread; no application: cancelled.
std::optional<std::string> runChooser(const std::function<QString()>& dialog) {
    QString chosen;
    if (!runOnUiThread([&] { chosen = dialog(); })) return std::nullopt;
    return answerOf(chosen);
}

}  // namespace

std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title, const std::string& initialFolder) {
    const ChooserRequest request{ChooserRequest::Kind::Folder, title, initialFolder, {}};
    std::optional<std::string> answer;
    if (ChooserScript::take(request, &answer)) return answer;
    return runChooser([&] {
        return QFileDialog::getExistingDirectory(parent, QString::fromStdString(title),
                                                 QString::fromStdString(initialFolder), QFileDialog::ShowDirsOnly);
    });
}

std::optional<std::string> chooseOpenFile(QWidget* parent, const std::string& title, const std::string& initialPath,
                                          const std::string& filter) {
    const ChooserRequest request{ChooserRequest::Kind::OpenFile, title, initialPath, filter};
    std::optional<std::string> answer;
    if (ChooserScript::take(request, &answer)) return answer;
    return runChooser([&] {
        return QFileDialog::getOpenFileName(parent, QString::fromStdString(title), QString::fromStdString(initialPath),
                                            QString::fromStdString(filter));
    });
}

std::optional<std::string> chooseNewOrOpenFile(QWidget* parent, const std::string& title,
                                               const std::string& initialPath, const std::string& filter) {
    const ChooserRequest request{ChooserRequest::Kind::NewOrOpenFile, title, initialPath, filter};
    std::optional<std::string> answer;
    if (ChooserScript::take(request, &answer)) return answer;
    return runChooser([&] {
        return QFileDialog::getSaveFileName(parent, QString::fromStdString(title), QString::fromStdString(initialPath),
                                            QString::fromStdString(filter), nullptr,
                                            QFileDialog::DontConfirmOverwrite);
    });
}

std::string fileFilterFromPairs(const std::string& pairs) {
    if (pairs.find('|') == std::string::npos) return pairs;
    std::vector<std::string> fields;
    size_t start = 0;
    while (start <= pairs.size()) {
        const size_t bar = pairs.find('|', start);
        fields.push_back(pairs.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < fields.size(); i += 2) {
        if (fields[i].empty() && fields[i + 1].empty()) break;  // the closing "||"
        std::string patterns = fields[i + 1];
        std::replace(patterns.begin(), patterns.end(), ';', ' ');
        if (!out.empty()) out += ";;";
        out += fields[i] + " (" + patterns + ")";
    }
    return out;
}

}  // namespace plat
