#include "serial/serial_reader.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <thread>

#include "serial/file_exception.h"
#include "serial/pty_pair.h"
#include "test/wait_until.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Stands in for the window: copies each batch out of the rx record and releases it, unless
// told to hold it (a window thread that is busy elsewhere).
class RecordingSink : public PortEventSink {
public:
    explicit RecordingSink(MyMsg& msg) : m_msg(msg) {}

    void PostPortReceived() override {
        std::lock_guard lock(m_mutex);
        m_batches.emplace_back(m_msg.m_data.begin(), m_msg.m_data.begin() + m_msg.m_nLength);
        if (!m_hold) m_msg.Release();
    }
    void PostPortHungUp() override { ++m_hangUps; }

    void Hold() { m_hold = true; }
    size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_batches.size();
    }
    std::vector<std::vector<uint8_t>> Batches() {
        std::lock_guard lock(m_mutex);
        return m_batches;
    }
    std::atomic<int> m_hangUps{0};

private:
    MyMsg& m_msg;
    std::mutex m_mutex;
    std::vector<std::vector<uint8_t>> m_batches;
    std::atomic<bool> m_hold{false};
};

class ReaderTest : public ::testing::Test {
protected:
    MyMsg msg;
    RecordingSink sink{msg};
    PtyPair pty;
    CSerialReader reader{sink, msg, pty.SlavePath(), {115200, 0, 0, 8}};
};

TEST_F(ReaderTest, BurstsSeparatedBySilenceAreTwoBatches) {
    reader.Start();
    pty.Write(std::vector<uint8_t>{1, 2, 3});
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }));
    pty.Write(std::vector<uint8_t>{4, 5});
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 2; }));
    EXPECT_EQ(sink.Batches(), (std::vector<std::vector<uint8_t>>{{1, 2, 3}, {4, 5}}));
}

TEST_F(ReaderTest, AFloodArrivesWholeInOrderInBatchesOfAtMost1024) {
    std::vector<uint8_t> sent(1 << 20);
    std::mt19937 random(42);
    for (uint8_t& b : sent) b = static_cast<uint8_t>(random());
    reader.Start();
    std::thread device([&] { pty.Write(sent); });
    size_t received = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            received = 0;
            for (const auto& b : sink.Batches()) received += b.size();
            return received >= sent.size();
        },
        30s));
    device.join();
    std::vector<uint8_t> got;
    for (const auto& batch : sink.Batches()) {
        ASSERT_GE(batch.size(), 1u);
        ASSERT_LE(batch.size(), 1024u);
        got.insert(got.end(), batch.begin(), batch.end());
    }
    EXPECT_EQ(got, sent);
}

TEST_F(ReaderTest, StopEndsTheWorkerWhileAFloodRuns) {
    reader.Start();
    std::atomic<bool> flooding{true};
    std::thread device([&] {
        std::vector<uint8_t> chunk(4096, 0x55);
        while (flooding && pty.Write(chunk, 200ms)) {
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() > 10; }));
    auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
    EXPECT_EQ(reader.File(), nullptr);
    size_t after = sink.Count();
    flooding = false;
    device.join();
    EXPECT_EQ(sink.Count(), after);
}

TEST_F(ReaderTest, StopCutsOffAPendingHandOverWithoutLosingTheBatch) {
    sink.Hold();
    reader.Start();
    pty.Write(std::vector<uint8_t>{9, 8, 7});
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }));
    pty.Write(std::vector<uint8_t>{6});  // must wait: the window has not released the record
    auto start = Clock::now();
    reader.Stop();
    EXPECT_LT(Clock::now() - start, 1s);
    // The window still finds the batch it was told about.
    ASSERT_EQ(msg.m_nLength, 3);
    EXPECT_EQ(msg.m_data[0], 9);
    EXPECT_EQ(sink.Count(), 1u);
}

TEST_F(ReaderTest, ANewReaderWaitsUntilTheWindowReleasedTheLastBatch) {
    sink.Hold();
    reader.Start();
    pty.Write(std::vector<uint8_t>{1});
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }));
    reader.Stop();

    CSerialReader next(sink, msg, pty.SlavePath(), {115200, 0, 0, 8});
    next.Start();
    pty.Write(std::vector<uint8_t>{2});
    EXPECT_FALSE(WaitUntil([&] { return sink.Count() == 2; }, 100ms));
    msg.Release();  // the window handles the old batch
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 2; }));
    EXPECT_EQ(sink.Batches()[1], std::vector<uint8_t>{2});
}

TEST_F(ReaderTest, AHangUpIsReportedOnceAndTheWorkerGoesIdle) {
    reader.Start();
    pty.Write(std::vector<uint8_t>{1, 2});
    ASSERT_TRUE(WaitUntil([&] { return sink.Count() == 1; }));
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return sink.m_hangUps == 1; }));
    EXPECT_TRUE(reader.HungUp());
    EXPECT_FALSE(WaitUntil([&] { return sink.m_hangUps > 1; }, 50ms));
    EXPECT_EQ(sink.Count(), 1u);
    reader.Stop();
}

TEST_F(ReaderTest, StopWithoutStartAndTwiceIsHarmless) {
    reader.Stop();
    reader.Stop();
    EXPECT_EQ(reader.File(), nullptr);
}

TEST(SerialReader, AFailedOpenThrowsBeforeAnyThreadExists) {
    MyMsg msg;
    RecordingSink sink(msg);
    EXPECT_THROW(CSerialReader(sink, msg, "/dev/corvala-missing", {}), CFileException);
}

}  // namespace
