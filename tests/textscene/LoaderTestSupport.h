#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"

// Each test gets a fresh log in a temporary folder (which also serves for files the test
// writes), fresh report state and the log entries as the observer saw them.
class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kzvtextXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ResetLogState();
        SetLogDirectory(dir.string());
        ResetReportState();
        SetLogObserver([this](const char* text) { entries.emplace_back(text); });
    }
    void TearDown() override {
        SetLogObserver(nullptr);
        ResetLogState();
        ResetReportState();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Number of log entries that contain text.
    int CountEntries(const std::string& text) const {
        int n = 0;
        for (const auto& e : entries)
            if (e.find(text) != std::string::npos) ++n;
        return n;
    }
    std::string AllEntries() const {
        std::string all;
        for (const auto& e : entries) all += e + "\n";
        return all;
    }

    std::filesystem::path dir;
    std::vector<std::string> entries;
};

// Runs statement, expects it to throw ErrorMsg and returns the message (empty when nothing
// was thrown, which fails the test).
template <class F> std::string ThrownMessage(F&& statement) {
    try {
        statement();
    } catch (const ErrorMsg& e) {
        return e.message;
    }
    ADD_FAILURE() << "no ErrorMsg thrown";
    return {};
}
