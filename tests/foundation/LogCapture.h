#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"

// Gives each test a fresh log in its own temporary folder, fresh report state, and the log
// entries as captured by the observer.
class LogCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "kzvfoundXXXXXX").string();
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

    // The lines of logfile.txt as written.
    std::vector<std::string> FileLines() const {
        std::ifstream in(dir / "logfile.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::filesystem::path dir;
    std::vector<std::string> entries;
};
