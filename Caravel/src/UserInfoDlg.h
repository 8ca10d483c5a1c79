#pragma once
// The user information dialog's logic: where the focus starts, and the service's web pages.
#include "Caravel/src/UploaderView.h"

#include <string>

namespace caravel {

class CUserInfoDlg {
public:
    enum class Focus { UserName, Password, Default };
    static constexpr int kMaxUserNameLength = 255;

    static Focus InitialFocus(const std::string& userName, const std::string& password);
    // The string value `name` of the uploader's key; false when missing.
    static bool ReadAddress(const char* name, std::string* address);
    // The address of the forgotten-password page, or the message when there is none.
    static bool PasswordPage(std::string* addressOrMessage);
    static bool MemberPage(std::string* addressOrMessage);
};

}  // namespace caravel
