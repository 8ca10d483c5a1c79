#include "viewer/shell/ui/PropDatabase.h"
#include "viewer/shell/ui/PropFileInfo.h"
#include "viewer/shell/ui/PropStatus.h"
#include "viewer/shell/ui/PropTrans.h"
#include "viewer/shell/ui/PropViewer.h"
#include "viewer/shell/ui/SettingsSheetLogic.h"
#include "viewer/shell/ui/tests/UiTestSupport.h"

#include "platform/msg/MessageBox.h"
#include "platform/shell/ChooserScript.h"

#include <unistd.h>
#include <fstream>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <filesystem>

namespace {

std::tm FixedTime()
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 10;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    return t;
}

TEST(SettingsSheetLogic, NameExample)
{
    struct Case {
        const char* prefix;
        uint32_t prefixSuffix, contents;
        const char* serial;
        const char* expected;
    };
    const Case cases[] = {
        {"ABC", 0, 2, "12", "ABCABCD0001_12.jpg"},
        {"ABC", 1, 0, "12", "12ABC.jpg"},
        {"ABC", 2, 1, "3", "100ABCDE_3.jpg"},
        {"", 2, 0, "0", "0.jpg"},
        {"P", 0, 0, "5", "P_5.jpg"},
        {"", 1, 3, "1", "261210140509_1.jpg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NameExample(c.prefix, c.prefixSuffix, c.contents, c.serial, FixedTime()), c.expected) << c.expected;
}

TEST(SettingsSheetLogic, FieldFilters)
{
    struct Case {
        bool serial;
        const char* previous;
        const char* typed;
        const char* kept;
        bool refused;
        int caretBack;
    };
    const Case cases[] = {
        {true, "0", "0007", "7", false, 0},   {true, "7", "", "0", false, 0},
        {true, "12", "12a", "12", true, 1},   {true, "0", "0", "0", false, 0},
        {true, "123456", "1234567", "123456", true, 1},  // longer than the loader reads back
        {false, "AB", "AB-", "AB", true, 1},  {false, "AB", "ABé", "AB", true, 1},
        {false, "", "Ab9", "Ab9", false, 0},  {false, "ABCDEFGH", "ABCDEFGHI", "ABCDEFGH", true, 1},
    };
    for (const Case& c : cases) {
        FieldFilter f = c.serial ? FilterSerialNumber(c.previous, c.typed) : FilterPrefixText(c.previous, c.typed);
        EXPECT_EQ(f.text, c.kept) << c.typed;
        EXPECT_EQ(f.refused, c.refused) << c.typed;
        EXPECT_EQ(f.caretBack, c.caretBack) << c.typed;
    }
    EXPECT_TRUE(PrefixReadOnly(2, 1));
    EXPECT_TRUE(PrefixReadOnly(0, 0));
    EXPECT_FALSE(PrefixReadOnly(1, 1));
}

class SettingsSheet : public LangFixture {
protected:
    void SetUp() override
    {
        LangFixture::SetUp();
        plat::ChooserScript::clear();
        plat::setMessageBoxResponder([this](const plat::MessageBoxRequest& r) {
            shown.push_back(r.text);
            return plat::kAnswerOk;
        });
        settings.AutoStart = 1;
        settings.StartType = 1;
        TransferSettings t;
        t.PrefixTEXT = "ABC";
        t.PrefixSuffix = 0;
        t.Contents = 2;
        t.SerialNumber = "12";
        t.TransferFile = "/pictures";
        t.PrvTransferFile = "/old";
        settings.SetTransferSettings(t);
        DatabaseSettings d;
        d.DataBaseSoft = "/opt/q/Quillbase.exe";
        d.CheckRegistry = 1;
        settings.SetDatabaseSettings(d);
        FileInfoSettings f;
        f.Check[2] = 1;
        f.Keyword[2] = "sea";
        settings.SetFileInfoSettings(f);
        ViewerSettings v;
        v.ViewerSoft = 1;
        v.StaticSoft = "/usr/bin/eog";
        settings.SetViewerSettings(v);
    }
    void TearDown() override
    {
        plat::setMessageBoxResponder({});
        plat::ChooserScript::clear();
        LangFixture::TearDown();
    }
    CViewSettings settings;
    std::vector<std::string> shown;
};

TEST_F(SettingsSheet, PagesCarryEveryValueThroughUnchanged)
{
    CPropStatus sheet("Settings", nullptr, CPropStatus::kCatalog);
    ASSERT_EQ(sheet.Tabs()->count(), 5);
    EXPECT_EQ(sheet.Tabs()->tabText(0), "Start-up");
    EXPECT_EQ(sheet.Tabs()->tabText(4), "Viewer");
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 2);
    sheet.LoadFromSettings(settings);
    EXPECT_EQ(sheet.TransPage()->Example()->text(), "ABCABCD0001_12.jpg");

    CViewSettings out;
    sheet.SaveToSettings(&out);
    EXPECT_EQ(out.AutoStart, 1u);
    EXPECT_EQ(out.StartType, 1u);
    EXPECT_EQ(out.GetTransferSettings().PrefixTEXT, "ABC");
    EXPECT_EQ(out.GetTransferSettings().SerialNumber, "12");
    EXPECT_EQ(out.GetTransferSettings().PrvTransferFile, "/old");
    EXPECT_EQ(out.GetTransferSettings().Contents, 2u);
    EXPECT_EQ(out.GetDatabaseSettings().DataBaseSoft, "/opt/q/Quillbase.exe");
    EXPECT_EQ(out.GetFileInfoSettings().Keyword[2], "sea");
    EXPECT_EQ(out.GetFileInfoSettings().Check[2], 1u);
    EXPECT_EQ(out.GetViewerSettings().StaticSoft, "/usr/bin/eog");
    EXPECT_EQ(out.GetViewerSettings().ViewerSoft, 1u);
}

TEST_F(SettingsSheet, TransferFieldsRefuseWhatCannotBeSaved)
{
    CPropStatus sheet("Settings");
    sheet.LoadFromSettings(settings);
    CPropTrans* page = sheet.TransPage();
    QLineEdit* serial = page->SerialEdit();
    serial->setText("0007");
    emit serial->textEdited("0007");
    EXPECT_EQ(serial->text(), "7");
    serial->setText("7x");
    emit serial->textEdited("7x");
    EXPECT_EQ(serial->text(), "7");
    serial->setText("");
    emit serial->textEdited("");
    EXPECT_EQ(serial->text(), "0");
    QLineEdit* prefix = page->PrefixEdit();
    prefix->setText("AB_");
    emit prefix->textEdited("AB_");
    EXPECT_EQ(prefix->text(), "ABC");
    EXPECT_EQ(prefix->maxLength(), kPrefixTextMax);

    page->SaveImageCheck()->click();  // off
    EXPECT_EQ(shown, (std::vector<std::string>{""}));  // 61655 has no text in this language
    EXPECT_TRUE(prefix->isReadOnly());
    EXPECT_TRUE(serial->isReadOnly());
    EXPECT_FALSE(page->ContentsGroup()->button(1)->isEnabled());
}

TEST_F(SettingsSheet, UnsupportedCatalogProgramIsRefused)
{
    CPropStatus sheet("Settings");
    sheet.LoadFromSettings(settings);
    CPropDatabase* page = sheet.DatabasePage();
    EXPECT_TRUE(page->CatalogEdit()->isEnabled());
    plat::ChooserScript::push(std::string("/usr/bin/other.exe"));
    page->ChooseProgram();
    EXPECT_EQ(page->ProgramEdit()->text(), "/opt/q/Quillbase.exe");
    ASSERT_EQ(plat::ChooserScript::requests().size(), 1u);
    EXPECT_NE(plat::ChooserScript::requests()[0].filter.find("*.exe"), std::string::npos);
    plat::ChooserScript::push(std::string("/opt/ql/quillbaselite.exe"));
    page->ChooseProgram();
    EXPECT_EQ(page->ProgramEdit()->text(), "/opt/ql/quillbaselite.exe");
    EXPECT_EQ(shown.size(), 2u);
    plat::ChooserScript::push(std::nullopt);
    page->ChooseProgram();
    EXPECT_EQ(page->ProgramEdit()->text(), "/opt/ql/quillbaselite.exe");
}

TEST_F(SettingsSheet, CatalogFileMustExist)
{
    CPropStatus sheet("Settings");
    sheet.LoadFromSettings(settings);
    plat::ChooserScript::push(std::string("/nonexistent/a.ccf"));
    sheet.DatabasePage()->ChooseCatalogFile();
    EXPECT_TRUE(sheet.DatabasePage()->CatalogEdit()->text().isEmpty());
    EXPECT_EQ(shown.size(), 1u);
}

// A catalog name that does not exist yet is made by the catalog program after
// the user's OK; a failed make or a Cancel leaves the page as it was.
TEST_F(SettingsSheet, NewCatalogFileIsMadeByTheCatalogProgram)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("sheet-catalog-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string made = (folder / "new.ccf").string();
    std::vector<std::pair<std::string, std::string>> calls;
    bool makeIt = true;
    CPropDatabase::SetCatalogMaker([&](const std::string& program, const std::string& catalog) {
        calls.emplace_back(program, catalog);
        if (!makeIt) return -1;
        std::ofstream(catalog) << "catalog";
        return 0;
    });
    CPropStatus sheet("Settings");
    sheet.LoadFromSettings(settings);
    CPropDatabase* page = sheet.DatabasePage();

    makeIt = false;   // the program could not make it
    plat::ChooserScript::push(made);
    page->ChooseCatalogFile();
    EXPECT_TRUE(page->CatalogEdit()->text().isEmpty());
    EXPECT_EQ(shown.size(), 2u);   // the question, then the failure

    makeIt = true;
    plat::ChooserScript::push(made);
    page->ChooseCatalogFile();
    EXPECT_EQ(page->CatalogEdit()->text().toStdString(), made);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], std::make_pair(std::string("/opt/q/Quillbase.exe"), made));

    // an existing catalog is taken without a question
    shown.clear();
    plat::ChooserScript::push(made);
    page->ChooseCatalogFile();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(calls.size(), 2u);
    CPropDatabase::SetCatalogMaker({});
    std::filesystem::remove_all(folder);
}

TEST_F(SettingsSheet, RegistrationFolderGoesToTheTransferPageOrFallsBack)
{
    CPropStatus sheet("Settings");
    sheet.LoadFromSettings(settings);
    const std::string tmp = std::filesystem::temp_directory_path().string();
    plat::ChooserScript::push(tmp);
    sheet.DatabasePage()->ChooseRegistrationFolder();
    EXPECT_EQ(sheet.DatabasePage()->FolderEdit()->text().toStdString(), tmp);
    EXPECT_EQ(sheet.TransPage()->DestinationEdit()->text().toStdString(), tmp);
    EXPECT_TRUE(shown.empty());

    plat::ChooserScript::push(std::string("/no/such/folder"));
    sheet.TransPage()->ChooseDestination();
    EXPECT_EQ(sheet.TransPage()->DestinationEdit()->text().toStdString(), settings.DefaultFolder());
    EXPECT_EQ(shown.size(), 1u);
}

TEST_F(SettingsSheet, ViewerPathFollowsTheViewerChoice)
{
    CPropStatus sheet("Settings");
    sheet.LoadFromSettings(settings);
    CPropViewer* page = sheet.ViewerPage();
    EXPECT_TRUE(page->PictureEdit()->isEnabled());
    page->ViewerGroup()->button(0)->click();
    EXPECT_FALSE(page->PictureEdit()->isEnabled());
    EXPECT_FALSE(page->PictureBrowse()->isEnabled());
    EXPECT_FALSE(sheet.FileInfoPage()->KeywordEdit(0)->isEnabled());
    EXPECT_TRUE(sheet.FileInfoPage()->KeywordEdit(2)->isEnabled());
    EXPECT_EQ(sheet.FileInfoPage()->KeywordEdit(0)->maxLength(), kKeywordMax);

    QLineEdit* keyword = sheet.FileInfoPage()->KeywordEdit(2);
    keyword->setCursorPosition(0);
    QKeyEvent selectAll(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier, "a");
    QCoreApplication::sendEvent(keyword, &selectAll);
    EXPECT_EQ(keyword->selectedText(), "sea");
}

}  // namespace
