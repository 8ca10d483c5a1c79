// Fonts and images need a GUI application object (offscreen in tests).
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!QGuiApplication::instance()) app_ = new QGuiApplication(argc_, argv_);
    }
    void TearDown() override { delete app_; app_ = nullptr; }
private:
    int argc_ = 1;
    char name_[8] = "tests";
    char* argv_[2] = {name_, nullptr};
    QGuiApplication* app_ = nullptr;
};
[[maybe_unused]] auto* const gEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);
}  // namespace
