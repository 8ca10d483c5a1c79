// The album selection and user information dialogs' logic.
#include "Caravel/src/AlbumDlg.h"
#include "Caravel/src/UploaderSettings.h"
#include "Caravel/src/UserInfoDlg.h"
#include "Caravel/src/tests/RecordingView.h"
#include "outside/kqapi/tests/DavServer.h"

#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

using namespace caravel;

TEST(UserInfoDlg, FocusAndPages)
{
    using F = CUserInfoDlg::Focus;
    EXPECT_EQ(CUserInfoDlg::InitialFocus("", ""), F::UserName);
    EXPECT_EQ(CUserInfoDlg::InitialFocus("", "pw"), F::UserName);
    EXPECT_EQ(CUserInfoDlg::InitialFocus("a", ""), F::Password);
    EXPECT_EQ(CUserInfoDlg::InitialFocus("a", "pw"), F::Default);

    plat::testing::TempRoot root;
    std::string text;
    EXPECT_FALSE(CUserInfoDlg::PasswordPage(&text));
    EXPECT_EQ(text, "Unable to find URL for Brovane password page");
    plat::RegKey key;
    ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, kUploaderKey, &key), plat::RegResult::Ok);
    key.setString("MemberURL", "https://example.invalid/join");
    EXPECT_TRUE(CUserInfoDlg::MemberPage(&text));
    EXPECT_EQ(text, "https://example.invalid/join");
}

TEST(AlbumDlg, NoSessionAndNoTitle)
{
    caravel_test::RecordingView view;
    CAlbumDlg d(nullptr, &view, -1);
    d.OnInitDialog();
    EXPECT_EQ(d.SelectedAlbum(), 0);
    EXPECT_TRUE(d.Names().empty());
    EXPECT_FALSE(d.UseStorageRoom());
    EXPECT_FALSE(d.OnCreate("", "x"));
    EXPECT_EQ(view.messages, std::vector<std::string>{"Must Specify a Title"});
    d.OnOK(-1, false);
    EXPECT_EQ(d.SelectedAlbum(), -1);
}

TEST(AlbumDlg, CreatedAlbumBecomesTheSelection)
{
    if (!kqtest::DavServer::unavailableReason().empty())
        GTEST_SKIP() << kqtest::DavServer::unavailableReason();
    kqtest::DavServer server("alice", "secret", 200000);
    ASSERT_TRUE(server.running());
    caravel_test::RecordingView view;
    CAlbumSession session(server.rootUrl(), &view);
    session.SetLoginName("alice");
    session.SetPassword("secret");
    ASSERT_EQ(session.Connect(), 0);
    CAlbumDlg d(&session, &view, 0);
    d.OnInitDialog();
    EXPECT_TRUE(d.Names().empty());
    ASSERT_TRUE(d.OnCreate("Alps", "walks"));
    ASSERT_TRUE(d.OnCreate("Coast", ""));
    ASSERT_EQ(d.Names().size(), 2u);
    EXPECT_EQ(d.Names()[static_cast<size_t>(d.SelectedAlbum())], "Coast");
    EXPECT_FALSE(d.OnCreate("Coast", ""));  // exists: the library's message
    EXPECT_EQ(view.messages, std::vector<std::string>{"Invalid Argument"});
}
