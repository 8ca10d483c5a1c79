#include "Caravel/src/UserInfoDlg.h"

#include "Caravel/src/UploaderSettings.h"
#include "platform/registry/Registry.h"

namespace caravel {

CUserInfoDlg::Focus CUserInfoDlg::InitialFocus(const std::string& userName, const std::string& password)
{
    if (userName.empty())
        return Focus::UserName;
    if (password.empty())
        return Focus::Password;
    return Focus::Default;
}

bool CUserInfoDlg::ReadAddress(const char* name, std::string* address)
{
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::CurrentUser, kUploaderKey, &key) != plat::RegResult::Ok)
        return false;
    return key.queryString(name, address) == plat::RegResult::Ok;
}

bool CUserInfoDlg::PasswordPage(std::string* out)
{
    if (ReadAddress("PasswordURL", out))
        return true;
    *out = "Unable to find URL for Brovane password page";
    return false;
}

bool CUserInfoDlg::MemberPage(std::string* out)
{
    if (ReadAddress("MemberURL", out))
        return true;
    *out = "Unable to find URL for Brovane new member page";
    return false;
}

}  // namespace caravel
