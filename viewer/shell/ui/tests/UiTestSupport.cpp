#include "viewer/shell/ui/tests/UiTestSupport.h"

#include "viewer/shell/common/LanguageContext.h"

#include "platform/lang/LangSource.h"

#include <QApplication>

QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "lumora_shell_ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void LangFixture::SetUp()
{
    TestApp();
    const std::string source = "language 0x0409\n"
                               "62201 \"DejaVu Sans\"\n"
                               "62202 \"11\"\n"
                               "62203 \"Quillbase\"\n"
                               "62204 \"QuillbaseLite\"\n"
                               "62205 \"QuillbaseViewer\"\n"
                               "61650 \"The file \\\"%s\\\" exists.\"\n"
                               "61652 \"The file \\\"%s\\\" is read-only.\"\n"
                               "61653 \"Some pictures did not fit.\"\n"
                               "62222 \"Saving pictures\"\n"
                               "62224 \"Overwrite\"\n"
                               "62228 \"Cancel\"\n"
                               "62230 \"Print\"\n"
                               "62231 \"OK\"\n"
                               "62232 \"Shrink to fit\"\n"
                               "62240 \"%d pictures remaining\"\n"
                               "62241 \"Stop\"\n"
                               "62246 \"File exists\"\n"
                               "62702 \"Start-up\"\n"
                               "62703 \"Transfer\"\n"
                               "62704 \"Catalog\"\n"
                               "62705 \"File information\"\n"
                               "62706 \"Viewer\"\n"
                               "62901 \"DejaVu Sans\"\n"
                               "62902 \"10\"\n"
                               "62903 \"24\"\n"
                               "62904 \"240\"\n"
                               "62905 \"24\"\n"
                               "62906 \"260\"\n";
    plat::lang::LanguageTables tables;
    std::string error;
    ASSERT_TRUE(plat::lang::ParseLangSource(source, "ui-fixture", &tables, &error)) << error;
    TheLanguage().Bind(std::make_unique<plat::lang::LanguageLibrary>(tables), 0x0409);
}

void LangFixture::TearDown()
{
    TheLanguage().Unbind();
}
