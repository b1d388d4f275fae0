// A directory of its own for each test's picture files, removed afterwards.
// Named after the process and the test, since ctest runs tests side by side.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <unistd.h>

namespace veltaro::test {

class scratch_dir_test : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("veltaro_geometry_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" +
                info->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    [[nodiscard]] std::string path(const std::string& name) const { return (dir_ / name).string(); }

private:
    std::filesystem::path dir_;
};

}  // namespace veltaro::test
