// A fresh temporary directory per test that the program-path seam takes as the program's
// directory, so every test has a database of its own ("<dir>/Ravelin.cfg").
#pragma once

#include "platform/program_paths.h"
#include "platform/utf8.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

class TempProgramDir : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/ravelin-config-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        UseProgramFile(dir_ + "/Ravelin.exe");
    }

    void TearDown() override {
        platform::SetProgramFileOverride(std::nullopt);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    void UseProgramFile(const std::string& path) {
        platform::SetProgramFileOverride(platform::Utf8ToUtf16(path));
    }

    std::string DatabasePath() const { return dir_ + "/Ravelin.cfg"; }

    bool DatabaseExists() const { return std::filesystem::exists(DatabasePath()); }

    std::string FileBytes(const std::string& path) const {
        std::string bytes;
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            return "<missing>";
        }
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            bytes.append(buffer, n);
        }
        std::fclose(file);
        return bytes;
    }

    // Runs Debian's sqlite3 tool on the database and returns what it prints.
    std::string Sqlite3Cli(const std::string& sql) const {
        const std::string command = "sqlite3 -batch '" + DatabasePath() + "' \"" + sql + "\"";
        std::string output;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) {
            return "<popen failed>";
        }
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, n);
        }
        const int status = pclose(pipe);
        if (status != 0) {
            output += "<exit " + std::to_string(status) + ">";
        }
        return output;
    }

    std::string dir_;
};
