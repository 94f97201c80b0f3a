#include "send/file_source.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class FileSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = fs::temp_directory_path() / ("corvala-file-source-" + std::to_string(getpid()));
        std::ofstream(path, std::ios::binary) << std::string(100000, 'x');
    }
    void TearDown() override { fs::remove(path); }
    fs::path path;
};

TEST_F(FileSourceTest, ReadsToTheEndInPieces) {
    int error = 0;
    auto source = FileSource::Open(path, error);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->Size(), 100000u);
    uint8_t buffer[4096];
    size_t total = 0;
    for (ssize_t n; (n = source->Read(buffer, sizeof buffer)) > 0;) total += static_cast<size_t>(n);
    EXPECT_EQ(total, 100000u);
    EXPECT_EQ(source->Read(buffer, sizeof buffer), 0);
}

TEST_F(FileSourceTest, AFileCutShortWhileSentIsAnErrorNotAnEnd) {
    int error = 0;
    auto source = FileSource::Open(path, error);
    ASSERT_NE(source, nullptr);
    uint8_t buffer[4096];
    ASSERT_EQ(source->Read(buffer, sizeof buffer), 4096);
    fs::resize_file(path, 5000);
    EXPECT_EQ(source->Read(buffer, sizeof buffer), 904);
    EXPECT_EQ(source->Read(buffer, sizeof buffer), -ENODATA);
}

TEST_F(FileSourceTest, WhatCannotBeOpenedSaysWhy) {
    int error = 0;
    EXPECT_EQ(FileSource::Open(path.string() + "-missing", error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(FileSource::Open(fs::temp_directory_path(), error), nullptr);
    EXPECT_EQ(error, EISDIR);
}

}  // namespace
