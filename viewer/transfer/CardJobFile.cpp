#include "viewer/transfer/CardJobFile.h"

#include "platform/fs/CardPath.h"
#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "platform/msg/MessageBox.h"
#include "platform/thread/Timing.h"
#include "viewer/shell/common/LangString.h"

#include <cstring>
#include <filesystem>

namespace {

constexpr uint32_t kMsgFailed = 61602;
constexpr uint32_t kMsgWithdrawn = 61676;

std::string cardFile(int32_t deviceIndex, const char* relative) {
    if (deviceIndex < 0 || deviceIndex >= 26) return {};
    std::filesystem::path root;
    if (!plat::DriveMap().rootOf(static_cast<char>('A' + deviceIndex), &root)) return {};
    std::filesystem::path resolved;
    if (!plat::resolveCardPath(root, relative, &resolved)) return {};
    return resolved.string();
}

}  // namespace

CCardJobFile::CCardJobFile(int32_t deviceIndex)
    : orderPath_(cardFile(deviceIndex, "MISC/order.kvd")), replyPath_(cardFile(deviceIndex, "MISC/reply.kvd")) {}

bool CCardJobFile::Holds(const std::string& record, const char* word) {
    return record == std::string(word) + "\r\n";
}

bool CCardJobFile::JobFileExists(const std::string& path) {
    return !path.empty() && plat::fileExists(path) && !plat::folderExists(path);
}

bool CCardJobFile::DeleteJobFile(const std::string& path) {
    return !path.empty() && plat::removeFile(path).ok();
}

bool CCardJobFile::ReadStatus(Which which, std::string* text, size_t count) const {
    const std::string& path = which == kOrder ? orderPath_ : replyPath_;
    if (path.empty() || !text) return false;
    std::string bytes;
    if (!plat::readFileFresh(path, &bytes, 1u << 16).ok()) return false;
    if (bytes.size() > count) bytes.resize(count);
    const auto zero = bytes.find('\0');
    *text = zero == std::string::npos ? bytes : bytes.substr(0, zero);
    return true;
}

bool CCardJobFile::WriteReply(const std::string& word) {
    if (replyPath_.empty() || word.size() != kRecordBytes - 2) return false;
    return plat::writeFileThrough(replyPath_, word + "\r\n").ok();
}

bool CCardJobFile::IsTransferRequested() {
    if (!JobFileExists(orderPath_)) return false;
    std::string order;
    if (!ReadStatus(kOrder, &order)) return false;
    if (Holds(order, kTransfer)) {
        if (!JobFileExists(replyPath_)) return true;
        std::string reply;
        return ReadStatus(kReply, &reply) && Holds(reply, kWaiting);
    }
    if (!Holds(order, kTransferOk) && JobFileExists(replyPath_)) DeleteJobFile(replyPath_);
    return false;
}

bool CCardJobFile::WaitForTransferOk(plat::WindowHandle parent) {
    if (!JobFileExists(orderPath_)) return false;
    std::string order;
    uint32_t waited = 0;
    bool timedOut = false;
    while (true) {
        if (!JobFileExists(orderPath_)) return false;
        if (!ReadStatus(kOrder, &order)) return false;
        if (Holds(order, kTransferOk)) return true;
        if (!Holds(order, kTransfer)) break;
        if (waited >= limitMs_) {
            timedOut = true;
            break;
        }
        plat::sleepMs(pollMs_);
        waited += pollMs_;
    }
    if (!timedOut && Holds(order, kWithdrawn)) {
        if (JobFileExists(replyPath_)) DeleteJobFile(replyPath_);
        ShowTopmostMessage(parent, kMsgWithdrawn, static_cast<int>(plat::MessageIcon::Stop));
    } else {
        ShowTopmostMessage(parent, kMsgFailed, static_cast<int>(plat::MessageIcon::Stop));
        WriteReply(kError);
    }
    return false;
}

int CCardJobFile::ShowTopmostMessage(plat::WindowHandle window, uint32_t messageId, int icon) {
    plat::MessageBoxRequest request;
    request.owner = window;
    request.text = CLangString(messageId).Text();
    request.icon = static_cast<plat::MessageIcon>(icon);
    request.topmost = true;
    return plat::showMessageBox(request);
}

int32_t CCardJobFile::CopyBytesCallback(void* destination, const void* source, uint32_t count) {
    if (destination && source && count) std::memmove(destination, source, count);
    return 1;
}
