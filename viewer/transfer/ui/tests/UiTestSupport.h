#pragma once
// A widget application for the tests, the language texts the transfer windows
// use, and a transfer job that only records what the dialog asks of it.
#include "viewer/transfer/ui/TransferJob.h"

#include <gtest/gtest.h>

#include <memory>

void EnsureApplication();
void BindTestLanguage();
void UnbindTestLanguage();
// Serves posted messages and events for a moment.
void ServeEvents();

struct JobLog {
    int starts = 0;
    int cancels = 0;
    int joins = 0;
    plat::WindowHandle owner;
    int32_t mode = -1;
};

class FakeTransferJob : public TransferJob {
public:
    FakeTransferJob(std::shared_ptr<JobLog> log, bool startOk) : log_(std::move(log)), startOk_(startOk) {}
    bool Start(plat::WindowHandle owner, int32_t mode) override {
        ++log_->starts;
        log_->owner = owner;
        log_->mode = mode;
        return startOk_;
    }
    void Cancel() override { ++log_->cancels; }
    void Join() override { ++log_->joins; }

private:
    std::shared_ptr<JobLog> log_;
    bool startOk_;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApplication();
        BindTestLanguage();
    }
    void TearDown() override { UnbindTestLanguage(); }
};
