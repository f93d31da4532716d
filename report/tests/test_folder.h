// A folder of the test's own under the system's temporary folder, made empty
// before the test and removed after it; named by the run too, so that two runs
// of the tests at once (a build tree and a clone) never share one.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <random>
#include <string>

class TestFolder : public testing::Test {
protected:
    std::filesystem::path root_ =
        std::filesystem::temp_directory_path() /
        (std::string("report_test_") + testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
         std::to_string(std::random_device{}()));
    void SetUp() override
    {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::string Path(const char* relative) const { return (root_ / std::filesystem::u8path(relative)).u8string(); }
    // Writes each file, relative to the folder, with its folders.
    void Make(std::initializer_list<const char*> files, const std::string& bytes = "x\n") const
    {
        for (const char* file : files) {
            std::filesystem::path path = root_ / std::filesystem::u8path(file);
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary) << bytes;
        }
    }
};
