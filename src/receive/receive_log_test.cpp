#include "receive/receive_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all);
        fs::remove_all(dir);
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir = fs::temp_directory_path() / ("corvala-log-" + std::to_string(::getpid()));
    UtcTime now{2009, 3, 30, 12, 0, 0, 250};
    ReceiveLog log{dir.string()};
};

TEST_F(LogTest, BatchesFollowEachOtherWithoutSeparators) {
    std::string error;
    ASSERT_TRUE(log.Write("41 42 ", now, error));
    ASSERT_TRUE(log.Write("43 ", now, error));
    EXPECT_EQ(Read("rxLOG_2009-03-30.log"), "41 42 43 ");
}

TEST_F(LogTest, LineFeedsBecomeCrLfAndZeroBytesAreKept) {
    std::string error;
    ASSERT_TRUE(log.Write("Hi\r\n", now, error));
    ASSERT_TRUE(log.Write("A\0B\xFF"s, now, error));
    EXPECT_EQ(Read("rxLOG_2009-03-30.log"), "Hi\r\r\nA\0B\xFF"s);
}

TEST_F(LogTest, AStampedBatchLandsByteForByte) {
    std::string error;
    ASSERT_TRUE(log.Write("\r\n2009-03-30 12:00:00.250\r\n41 \r\n", now, error));
    EXPECT_EQ(Read("rxLOG_2009-03-30.log"), "\r\r\n2009-03-30 12:00:00.250\r\r\n41 \r\r\n");
}

TEST_F(LogTest, EachUtcDayHasItsOwnFileAndOldFilesGrow) {
    std::ofstream(dir / "rxLOG_2009-03-31.log", std::ios::binary) << "old";
    std::string error;
    ASSERT_TRUE(log.Write("41 ", now, error));
    now = {2009, 3, 31, 0, 0, 0, 1};
    ASSERT_TRUE(log.Write("42 ", now, error));
    EXPECT_EQ(Read("rxLOG_2009-03-30.log"), "41 ");
    EXPECT_EQ(Read("rxLOG_2009-03-31.log"), "old42 ");
}

TEST_F(LogTest, AFailedWriteNamesTheFileAndTheReason) {
    if (geteuid() == 0) {
        // root writes anywhere; a missing directory fails for everyone
        ReceiveLog missing((dir / "gone").string());
        std::string error;
        EXPECT_FALSE(missing.Write("41 ", now, error));
        EXPECT_NE(error.find("gone/rxLOG_2009-03-30.log: "), std::string::npos) << error;
        return;
    }
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    std::string error;
    EXPECT_FALSE(log.Write("41 ", now, error));
    EXPECT_NE(error.find("rxLOG_2009-03-30.log: "), std::string::npos) << error;
}

TEST_F(LogTest, AChosenDirectoryIsMadeWhenMissingAndRefusedWhenItCannotBe) {
    EXPECT_EQ(PrepareLogDirectory((dir / "a" / "b").string()), "");
    EXPECT_TRUE(fs::is_directory(dir / "a" / "b"));
    std::ofstream(dir / "file") << "x";
    EXPECT_NE(PrepareLogDirectory((dir / "file" / "logs").string()), "");
    EXPECT_NE(PrepareLogDirectory((dir / "file").string()), "");
}

TEST(LogDirectory, BesideTheBuiltExecutableButInTheUsersDataWhenInstalled) {
    const fs::path prefix = fs::temp_directory_path() / ("corvala-prefix-" + std::to_string(::getpid()));
    fs::remove_all(prefix);
    fs::create_directories(prefix / "bin");
    const std::string data = (prefix / "data").string();
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string saved = before ? before : "";
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    // Writable, so a build folder; the tests run as root too, where every folder is.
    EXPECT_EQ(LogDirectory(prefix / "bin" / "corvala"), (prefix / "bin").string() + "/");
    fs::create_directories(prefix / "share" / "applications");
    std::ofstream(prefix / "share" / "applications" / "org.corvala.Corvala.desktop") << "[Desktop Entry]\n";
    EXPECT_EQ(LogDirectory(prefix / "bin" / "corvala"), data + "/corvala/");
    EXPECT_TRUE(fs::is_directory(data + "/corvala"));
    before ? setenv("XDG_DATA_HOME", saved.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    fs::remove_all(prefix);
    const std::string own = LogDirectory();
    EXPECT_EQ(own.back(), '/');
    EXPECT_TRUE(fs::is_directory(own));
}

}  // namespace
