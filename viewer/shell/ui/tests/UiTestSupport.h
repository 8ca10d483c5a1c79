#pragma once
// A widget application for the tests and a small language library bound as the
// process's language.
#include <gtest/gtest.h>

class QApplication;

QApplication& TestApp();

class LangFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};
