#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "foundation/ErrorReport.h"
#include "foundation/Log.h"
#include "platform/TemporaryFolder.h"

// Gives each test a fresh log in its own temporary folder (which also takes the files a test
// writes), fresh report state, and the log entries as the observer saw them.
class LogCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::make_unique<TemporaryFolder>("kzvtest");
        ASSERT_FALSE(folder->Path().empty());
        dir = folder->Path();
        ResetLogState();
        SetLogDirectory(dir.string());
        ResetReportState();
        SetLogObserver([this](const char* text) { entries.emplace_back(text); });
    }
    void TearDown() override {
        SetLogObserver(nullptr);
        ResetLogState();
        ResetReportState();
        folder.reset();
    }

    std::string PathOf(const char* name) const { return (dir / name).string(); }

    // The lines of logfile.txt as written.
    std::vector<std::string> FileLines() const {
        std::ifstream in(dir / "logfile.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    // The log entries that are warnings.
    std::vector<std::string> Warnings() const {
        std::vector<std::string> w;
        for (const std::string& e : entries)
            if (e.rfind("Warning:", 0) == 0) w.push_back(e);
        return w;
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

    std::unique_ptr<TemporaryFolder> folder;
    std::filesystem::path dir; // the folder's path
    std::vector<std::string> entries;
};
