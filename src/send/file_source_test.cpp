#include "send/file_source.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
    for (ssize_t n; (n = source->Read(buffer, sizeof buffer, -1)) > 0;)
        total += static_cast<size_t>(n);
    EXPECT_EQ(total, 100000u);
    EXPECT_EQ(source->Read(buffer, sizeof buffer, -1), 0);
}

// A file cut short or deleted while it is sent stops the send with an error, never as a
// send that looks complete: deleted, it would still read through its descriptor.
TEST_F(FileSourceTest, AFileCutShortOrDeletedWhileSentIsAnErrorNotAnEnd) {
    const struct {
        const char* what;
        std::function<void(const fs::path&)> change;
        std::vector<ssize_t> reads;
    } cases[] = {
        {"cut short", [](const fs::path& p) { fs::resize_file(p, 5000); }, {904, -ENODATA}},
        {"deleted", [](const fs::path& p) { fs::remove(p); }, {-ENOENT}},
    };
    for (const auto& c : cases) {
        SetUp();  // a fresh file of 100000 bytes
        int error = 0;
        auto source = FileSource::Open(path, error);
        ASSERT_NE(source, nullptr);
        uint8_t buffer[4096];
        ASSERT_EQ(source->Read(buffer, sizeof buffer, -1), 4096);
        c.change(path);
        for (ssize_t expected : c.reads) EXPECT_EQ(source->Read(buffer, sizeof buffer, -1), expected) << c.what;
    }
}

// What is appended while the file is sent is not sent: the progress is of the size shown,
// and a log that grows faster than a paced send takes it still ends.
TEST_F(FileSourceTest, AFileThatGrowsWhileSentEndsAtItsSizeWhenOpened) {
    int error = 0;
    auto source = FileSource::Open(path, error);
    ASSERT_NE(source, nullptr);
    std::ofstream(path, std::ios::binary | std::ios::app) << std::string(5000, 'y');
    std::vector<uint8_t> buffer(200000);
    EXPECT_EQ(source->Read(buffer.data(), buffer.size(), -1), 100000);
    EXPECT_EQ(source->Read(buffer.data(), buffer.size(), -1), 0);
}

TEST_F(FileSourceTest, WhatCannotBeOpenedSaysWhy) {
    int error = 0;
    EXPECT_EQ(FileSource::Open(path.string() + "-missing", error), nullptr);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(FileSource::Open(fs::temp_directory_path(), error), nullptr);
    EXPECT_EQ(error, EISDIR);
}

// The window opens what the user picked: a FIFO nobody writes must not hold it.
TEST_F(FileSourceTest, AFifoNobodyWritesOpensAtOnceAndIsEmpty) {
    const fs::path fifo = path.string() + "-fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto opening = std::async(std::launch::async, [&] {
        int error = 0;
        return FileSource::Open(fifo, error);
    });
    const bool atOnce = opening.wait_for(5s) == std::future_status::ready;
    if (!atOnce) close(open(fifo.c_str(), O_WRONLY | O_CLOEXEC));  // lets the stuck open return
    auto source = opening.get();
    fs::remove(fifo);
    EXPECT_TRUE(atOnce);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->Size(), 0u);
    uint8_t buffer[16];
    EXPECT_EQ(source->Read(buffer, sizeof buffer, -1), 0);
}

}  // namespace
