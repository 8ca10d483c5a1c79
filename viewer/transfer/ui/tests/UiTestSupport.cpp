#include "viewer/transfer/ui/tests/UiTestSupport.h"

#include "platform/lang/LangSource.h"
#include "viewer/shell/common/LanguageContext.h"

#include <QApplication>

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "transfer_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

void BindTestLanguage() {
    const std::string source =
        "language 0x0409\n"
        "148 \"All pictures\"\n"
        "149 \"Pictures to transfer\"\n"
        "61602 \"The operation could not be completed.\"\n"
        "61675 \"Cannot answer the card.\"\n"
        "61677 \"Choose at least one destination.\"\n"
        "62101 \"Lumora 4 Transfer\"\n"
        "62215 \"Transferring\"\n"
        "62216 \"Copying pictures\"\n"
        "62217 \"%d left\"\n"
        "62218 \"Cancel\"\n"
        "62219 \"%s  %d%%\"\n"
        "62301 \"3\"\n"
        "62302 \"14\"\n"
        "62303 \"Select pictures\"\n"
        "62304 \"Pictures to transfer:\"\n"
        "62305 \"All pictures\"\n"
        "62306 \"New pictures\"\n"
        "62307 \"Print-ordered pictures\"\n"
        "62308 \"Protected pictures\"\n"
        "62309 \"Transfer-marked pictures\"\n"
        "62310 \"Keep this choice\"\n"
        "62311 \"OK\"\n"
        "62312 \"Cancel\"\n"
        "1025 \"Transfer\"\n";
    plat::lang::LanguageTables tables;
    std::string error;
    ASSERT_TRUE(plat::lang::ParseLangSource(source, "fixture", &tables, &error)) << error;
    TheLanguage().Bind(std::make_unique<plat::lang::LanguageLibrary>(tables), 0x0409);
}

void UnbindTestLanguage() { TheLanguage().Unbind(); }

void ServeEvents() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}
