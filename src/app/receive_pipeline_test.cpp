// The receive pipeline through the real dialog: bytes written at a pseudo-terminal's device
// end, checked in the receive area, the counter and the log file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/port_bench_dlg.h"
#include "receive/chunk.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"
#include "test/message_box_recorder.h"
#include "test/qt_wait.h"
#include "test/run_command.h"
#include "test/thread_count.h"
#include "test/wait_until.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// Bytes `from`.. of an endless stream whose every prefix is recognisable: byte i is i mod 251.
std::vector<uint8_t> Pattern(size_t count, size_t from = 0) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((from + i) % 251);
    return bytes;
}

std::string Hex(std::span<const uint8_t> bytes) { return BuildChunk(bytes, true); }

// The port's worker threads still alive in this process.
int PortWorkers() { return ThreadsNamed({"corvala-rx", "corvala-tx"}); }

// The port as the user picks it: a link, so that a device plugged in again can take the
// same path although its pseudo-terminal is a new one.
fs::path PortLinkTo(const std::string& device) {
    fs::path link = fs::temp_directory_path() / ("corvala-tty-" + std::to_string(::getpid()));
    fs::remove(link);
    fs::create_symlink(device, link);
    return link;
}

class ReceivePipeline : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(logDir);
        fs::create_directories(logDir);
        Click("IDC_BTN_OPEN");
        ASSERT_TRUE(dlg.IsPortOpen());
    }
    void TearDown() override {
        fs::remove_all(logDir);
        fs::remove(portLink);
    }

    template <typename T>
    T* Get(const char* name) {
        return dlg.findChild<T*>(QString::fromUtf8(name));
    }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    QString Area() {
        auto* view = Get<ReceiveView>("IDC_EDIT_RX");
        return view->Text(0, view->Length());
    }
    uint32_t rxCount() { return Get<QLabel>("IDC_TXT_RXCOUNT")->text().toUInt(); }
    // One batch: waits until the dialog has counted it.
    void Receive(std::vector<uint8_t> bytes) {
        const uint32_t before = rxCount();
        ASSERT_TRUE(pty.Write(bytes));
        ASSERT_TRUE(QtWaitUntil([&] { return rxCount() == before + bytes.size(); }));
    }
    std::string LogFile(const char* name = "rxLOG_2009-03-30.log") {
        std::ifstream in(logDir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    PtyPair pty;
    fs::path portLink = PortLinkTo(pty.SlavePath());
    fs::path logDir = fs::temp_directory_path() / ("corvala-rx-" + std::to_string(::getpid()));
    // Read by the reader thread as each batch arrives; counted once the time is taken.
    std::atomic<int> day{30}, second{7}, clockReads{0};
    CPortBenchDlg dlg{{.extraPorts = {portLink.string()},
                       .sysfsRoot = "/nonexistent",
                       .clock =
                           [this] {
                               const UtcTime now{2009, 3, day, 8, 5, second, 45};
                               ++clockReads;
                               return now;
                           },
                       .logDirectory = logDir.string()}};
    // Writes a batch and waits until the reader has stamped it, without running the window's
    // event loop: the window has not handled it yet. A batch of a full read ends there, so
    // the next one written is a batch of its own; a shorter one is still open to more bytes.
    void Arrive(std::vector<uint8_t> bytes) {
        const int reads = clockReads;
        ASSERT_TRUE(pty.Write(bytes));
        ASSERT_TRUE(WaitUntil([&] { return clockReads > reads; }));
    }
};

constexpr size_t kFullRead = CSerialReader::kReadSize;

TEST_F(ReceivePipeline, HexAndTextChunks) {
    Receive({0x00, 0x0D, 0xFF});
    EXPECT_EQ(Area(), "00 0D FF ");
    Click("IDC_CHK_HEXSHOW");
    Receive({0x41, 0x00, 0x42, 0xB0});  // a zero byte no longer cuts the chunk
    EXPECT_EQ(Area(), QString("00 0D FF A") + QChar(0) + "B" + QChar(0xB0));
    EXPECT_EQ(rxCount(), 7u);
}

TEST_F(ReceivePipeline, PlainStampWithLineBreak) {
    Click("IDC_CHK_TIMESTAMP");
    Click("IDC_CHK_WRAP");
    Receive({0x41, 0x42});
    EXPECT_EQ(Area(), "\r\n2009-03-30 08:05:07.045\r\n41 42 \r\n\r\n");
}

TEST_F(ReceivePipeline, TriggerStampAndItsEnableRules) {
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_CHAR_TS")->isEnabled());
    Click("IDC_CHK_TIMESTAMP");
    EXPECT_TRUE(Get<QCheckBox>("IDC_CHK_CHAR_TS")->isEnabled());
    EXPECT_FALSE(Get<QLineEdit>("IDC_EDIT_TRIGGER")->isEnabled());
    Click("IDC_CHK_CHAR_TS");
    ASSERT_TRUE(Get<QLineEdit>("IDC_EDIT_TRIGGER")->isEnabled());
    QTest::keyClicks(Get<QLineEdit>("IDC_EDIT_TRIGGER"), "0d");
    Receive({0x01, 0x0D, 0x02, 0x0D});
    EXPECT_EQ(Area(), "01 \r\n2009-03-30 08:05:07.045\r\n0D 02 0D ");
    Receive({0x05});  // no trigger byte: no stamp at all
    EXPECT_TRUE(Area().endsWith("0D 02 0D 05 "));

    // Unticking hex display switches the trigger off; the stamps become plain ones.
    Click("IDC_CHK_HEXSHOW");
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_CHAR_TS")->isChecked());
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_CHAR_TS")->isEnabled());
    EXPECT_FALSE(Get<QLineEdit>("IDC_EDIT_TRIGGER")->isEnabled());
    EXPECT_EQ(Get<QLineEdit>("IDC_EDIT_TRIGGER")->text(), "0d");
    Receive({0x0D});
    EXPECT_TRUE(Area().endsWith("05 \r\n2009-03-30 08:05:07.045\r\n\r\r\n"));
}

TEST_F(ReceivePipeline, ABatchHandledLateShowsWhenItArrived) {
    Click("IDC_CHK_TIMESTAMP");
    Arrive({0x41});
    second = 59;  // the window gets to it much later
    ASSERT_TRUE(QtWaitUntil([&] { return rxCount() == 1; }));
    EXPECT_EQ(Area(), "\r\n2009-03-30 08:05:07.045\r\n41 \r\n");
}

TEST_F(ReceivePipeline, BatchesOfOneWakeUpGoToTheFilesOfTheirOwnDays) {
    Click("IDC_CHK_SAVE");
    Arrive(Pattern(kFullRead));
    day = 31;
    Arrive(Pattern(kFullRead, kFullRead));
    Arrive({0x43});
    ASSERT_TRUE(QtWaitUntil([&] { return rxCount() == 2 * kFullRead + 1; }));
    EXPECT_EQ(LogFile(), Hex(Pattern(kFullRead)));
    EXPECT_EQ(LogFile("rxLOG_2009-03-31.log"), Hex(Pattern(kFullRead, kFullRead)) + "43 ");
}

TEST_F(ReceivePipeline, WhatWasQueuedWhenThePortClosedIsStillShownAndCounted) {
    Arrive(Pattern(kFullRead));
    Arrive({0x41});
    ASSERT_EQ(rxCount(), 0u);
    Click("IDC_BTN_OPEN");  // closes
    ASSERT_FALSE(dlg.IsPortOpen());
    ASSERT_TRUE(QtWaitUntil([&] { return rxCount() == kFullRead + 1; }));
    EXPECT_EQ(Area().toStdString(), Hex(Pattern(kFullRead)) + "41 ");
}

// The window has fallen behind and every slot of the queue is taken when the cable goes:
// the loss is told while batches still wait, and every one of them is still shown, in order.
TEST_F(ReceivePipeline, AHangUpWithTheQueueFullStillShowsEverythingQueued) {
    constexpr size_t kSlots = RxQueue::kDefaultCapacity;
    for (size_t batch = 0; batch < kSlots; ++batch) Arrive(Pattern(kFullRead, batch * kFullRead));
    MessageBoxRecorder boxes;
    pty.CloseMaster();
    ASSERT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(
        boxes.Texts(),
        QStringList{QStringLiteral("串口%1已断开！\n设备已被移除或断开。").arg(portLink.c_str())});
    EXPECT_FALSE(dlg.IsPortOpen());
    // The last batch was stamped but may have been cut off by the hang-up; all before it
    // were queued.
    EXPECT_TRUE(QtWaitUntil([&] {
        return rxCount() >= (kSlots - 1) * kFullRead &&
               Area().toStdString() == Hex(Pattern(rxCount()));
    })) << "counted " << rxCount();
}

TEST_F(ReceivePipeline, AnExchangeRightAfterABatchKeepsItsCount) {
    Arrive({0x41, 0x42});
    ASSERT_TRUE(WaitUntil([&] {  // handled, but no timer ran: the counter is not shown yet
        QCoreApplication::sendPostedEvents(&dlg, CPortBenchDlg::WM_PORT_RECEIVED);
        return Area() == "41 42 ";
    }));
    ASSERT_TRUE(dlg.TakeExchange());
    Arrive({0x43});
    ASSERT_TRUE(QtWaitUntil([&] { return rxCount() == 3; }));
}

TEST_F(ReceivePipeline, PauseDropsChunksButCounts) {
    Receive({0x41});
    Click("IDC_CHK_PAUSE");
    Receive({0x42, 0x43});
    Click("IDC_CHK_PAUSE");
    Receive({0x44});
    EXPECT_EQ(Area(), "41 44 ");
    EXPECT_EQ(rxCount(), 4u);
}

TEST_F(ReceivePipeline, TheCounterWrapsAt32Bits) {
    Get<QLabel>("IDC_TXT_RXCOUNT")->setText("4294967295");
    ASSERT_TRUE(dlg.TakeExchange());
    ASSERT_TRUE(pty.Write(std::vector<uint8_t>{1, 2}));
    ASSERT_TRUE(QtWaitUntil([&] { return Get<QLabel>("IDC_TXT_RXCOUNT")->text() == "1"; }));
}

TEST_F(ReceivePipeline, SavingWritesTheLogInsteadOfTheArea) {
    Click("IDC_CHK_SAVE");
    EXPECT_EQ(Area(),
              QStringLiteral("数据保存在：\r\n") + QString::fromStdString(logDir.string()) + '/');
    EXPECT_FALSE(Get<ReceiveView>("IDC_EDIT_RX")->isEnabled());
    Click("IDC_CHK_WRAP");   // no effect on the log
    Click("IDC_CHK_PAUSE");  // nor this
    Receive({0x41, 0x42});
    Receive({0x43});
    Click("IDC_CHK_HEXSHOW");
    Click("IDC_CHK_TIMESTAMP");
    Receive({0x48, 0x69, 0x0D, 0x0A, 0x00});
    EXPECT_EQ(LogFile(), "41 42 43 \r\r\n2009-03-30 08:05:07.045\r\r\nHi\r\r\n\0\r\r\n"s);

    Click("IDC_BTN_CLEAR_RX");  // removes the notice; the area stays disabled
    EXPECT_EQ(Area(), "");
    EXPECT_FALSE(Get<ReceiveView>("IDC_EDIT_RX")->isEnabled());
    Click("IDC_CHK_SAVE");
    EXPECT_EQ(Area(), "");
    EXPECT_TRUE(Get<ReceiveView>("IDC_EDIT_RX")->isEnabled());
}

TEST_F(ReceivePipeline, ALogDirectoryGoneMidSessionStopsSavingShowsTheBatchesAndTellsOnce) {
    Click("IDC_CHK_SAVE");
    Receive({0x40});
    fs::remove_all(logDir);  // every open fails now, also for root
    MessageBoxRecorder boxes;
    // The first two are queued once the third is stamped: handled in one wake-up, so in
    // one failed write.
    const std::string shown = Hex(Pattern(2 * kFullRead)) + "42 ";
    Arrive(Pattern(kFullRead));
    Arrive(Pattern(kFullRead, kFullRead));
    Arrive({0x42});
    ASSERT_TRUE(QtWaitUntil(
        [&] { return !boxes.Texts().isEmpty() && rxCount() == 1 + 2 * kFullRead + 1; }));
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_SAVE")->isChecked());
    EXPECT_TRUE(Get<ReceiveView>("IDC_EDIT_RX")->isEnabled());
    EXPECT_EQ(Area().toStdString(), shown);
    EXPECT_TRUE(boxes.Texts()[0].contains("rxLOG_2009-03-30.log")) << boxes.Texts()[0].toStdString();
    Receive({0x43});
    EXPECT_EQ(Area().toStdString(), shown + "43 ");
    EXPECT_EQ(boxes.Texts().size(), 1);
}

// Run by the next test in a child process, where a file size limit stands for a full disk.
TEST_F(ReceivePipeline, DISABLED_FullDiskChild) {
    constexpr rlim_t kDiskSpace = 64 * 1024;
    const rlimit limit{kDiskSpace, kDiskSpace};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
    Click("IDC_CHK_SAVE");
    MessageBoxRecorder boxes;
    const std::vector<uint8_t> sent = Pattern(60000);  // 180,000 characters of hex
    for (size_t at = 0; at < sent.size(); at += 1000) Receive({sent.begin() + at, sent.begin() + at + 1000});
    ASSERT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_SAVE")->isChecked());
    const std::string log = LogFile();
    EXPECT_EQ(log.size(), kDiskSpace);
    EXPECT_TRUE(log + Area().toStdString() == Hex(sent)) << "logged " << log.size() << ", shown " << Area().size();
}

TEST(ReceiveLogFaults, AFullDiskStopsSavingOnceAndShowsExactlyWhatTheFileDidNotTake) {
    const CommandResult child = RunCommand({"/proc/self/exe", "--gtest_also_run_disabled_tests",
                                            "--gtest_filter=ReceivePipeline.DISABLED_FullDiskChild"});
    EXPECT_EQ(child.status, 0) << child.out << child.err;
    EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
}

// The device vanishes while a flood pours in, once while the area shows what arrives and
// once while the log takes it.
TEST_F(ReceivePipeline, AnUnplugMidFloodKeepsEverythingReadAndThePortOpensAgain) {
    ASSERT_TRUE(QtWaitUntil([] { return PortWorkers() == 2; }));  // named once running
    PtyPair* device = &pty;
    std::vector<std::unique_ptr<PtyPair>> pluggedAgain;
    for (const bool saving : {false, true}) {
        SCOPED_TRACE(saving ? "saving" : "showing");
        ASSERT_TRUE(dlg.IsPortOpen());
        if (saving) Click("IDC_CHK_SAVE");
        MessageBoxRecorder boxes;
        const std::vector<uint8_t> flood = Pattern(2 << 20);
        std::atomic<bool> unplugged{false};
        std::thread cable([&] {
            device->Write(flood);
            device->CloseMaster();
            unplugged = true;
        });
        ASSERT_TRUE(QtWaitUntil([&] { return unplugged.load(); }, 60000));
        cable.join();
        EXPECT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }, 1000)) << "told within a second";
        EXPECT_EQ(
            boxes.Texts(),
            QStringList{
                QStringLiteral("串口%1已断开！\n设备已被移除或断开。").arg(portLink.c_str())});
        EXPECT_FALSE(dlg.IsPortOpen());
        EXPECT_TRUE(QtWaitUntil([&] { return PortWorkers() == 0; })) << "the worker ended";

        auto kept = [&] { return saving ? LogFile() : Area().toStdString(); };
        ASSERT_TRUE(QtWaitUntil([&] { return kept().size() == 3 * size_t{rxCount()}; }));
        EXPECT_GT(rxCount(), 0u);
        EXPECT_TRUE(kept() == Hex(std::span(flood).first(rxCount()))) << "counted " << rxCount();

        if (saving) Click("IDC_CHK_SAVE");
        Click("IDC_BTN_CLEAR_RX");
        device = pluggedAgain.emplace_back(std::make_unique<PtyPair>()).get();
        fs::remove(portLink);
        fs::create_symlink(device->SlavePath(), portLink);
        Click("IDC_BTN_OPEN");
        ASSERT_TRUE(dlg.IsPortOpen());
        ASSERT_TRUE(device->Write(std::vector<uint8_t>{0x55}));
        EXPECT_TRUE(QtWaitUntil([&] { return Area() == "55 "; }));
        Click("IDC_BTN_CLEAR_RX");
        Click("IDC_BTN_RESET");
    }
}

TEST_F(ReceivePipeline, ShowExchangesLeaveWhatArrivedInPlace) {
    Receive({0x41});
    ASSERT_TRUE(dlg.TakeExchange());
    Receive({0x42});
    Click("IDC_BTN_RESET");
    Click("IDC_BTN_CLEAR_TX");
    EXPECT_EQ(Area(), "41 42 ");
    EXPECT_EQ(Get<QLabel>("IDC_TXT_RXCOUNT")->text(), "0");
    Click("IDC_BTN_CLEAR_RX");
    EXPECT_EQ(Area(), "");
    Receive({0x43});  // the next batch starts at the beginning
    EXPECT_EQ(Area(), "43 ");
}

// With 断线自动重连 the port is not closed when its device goes: it waits, and opens the
// device again with the same settings when it is back, here under the link the user chose
// as a USB adapter is found under its by-id link.
class ReconnectingPipeline : public ReceivePipeline {
protected:
    void SetUp() override {
        ReceivePipeline::SetUp();
        Get<QCheckBox>("IDC_CHK_RECONNECT")->click();
    }
    QString Lamp() { return Get<QLabel>("IDC_LAMP")->accessibleDescription(); }
    // udev takes a by-id link away as the device goes.
    void Unplug() {
        fs::remove(portLink);
        device->CloseMaster();
    }
    void PlugAgain() {
        device = pluggedAgain.emplace_back(std::make_unique<PtyPair>()).get();
        fs::create_symlink(device->SlavePath(), portLink);
    }
    void ReceiveFromDevice(std::vector<uint8_t> bytes) {
        const uint32_t before = rxCount();
        ASSERT_TRUE(device->Write(bytes));
        ASSERT_TRUE(QtWaitUntil([&] { return rxCount() == before + bytes.size(); }));
    }

    const QString gone = QStringLiteral("\r\n串口已断开 2009-03-30 08:05:07.045\r\n");
    const QString back = QStringLiteral("\r\n串口已重新连接 2009-03-30 08:05:07.045\r\n");
    PtyPair* device = &pty;
    std::vector<std::unique_ptr<PtyPair>> pluggedAgain;
};

TEST_F(ReconnectingPipeline, EverythingReadBeforeTheCutThenBothLinesInTheAreaAndTheLog) {
    MessageBoxRecorder boxes;
    // The window has fallen behind: every slot of the queue is taken when the cable goes.
    constexpr size_t kSlots = RxQueue::kDefaultCapacity;
    for (size_t batch = 0; batch < kSlots; ++batch) Arrive(Pattern(kFullRead, batch * kFullRead));
    Unplug();
    // The loss is handled before any of the batches that wait.
    ASSERT_TRUE(WaitUntil([&] {
        QCoreApplication::sendPostedEvents(&dlg, CPortBenchDlg::WM_PORT_HUNG_UP);
        return Area().endsWith(gone);
    }));
    ASSERT_TRUE(QtWaitUntil([&] { return rxCount() > 0; }));
    EXPECT_GE(rxCount(), (kSlots - 1) * kFullRead);
    EXPECT_TRUE(Area().toStdString() == Hex(Pattern(rxCount())) + gone.toStdString()) << "counted " << rxCount();
    EXPECT_TRUE(dlg.IsPortOpen()) << "the user still sees an open port";
    EXPECT_EQ(Lamp(), QStringLiteral("正在等待串口重新连接"));
    EXPECT_TRUE(QtWaitUntil([] { return ThreadsNamed({"corvala-rx", "corvala-tx", "corvala-modem"}) == 0; }))
        << "nothing runs while waiting";

    PlugAgain();
    ASSERT_TRUE(QtWaitUntil([&] { return Area().endsWith(back); }));
    EXPECT_EQ(Lamp(), QStringLiteral("串口已打开"));
    ReceiveFromDevice({0x55});
    EXPECT_TRUE(Area().endsWith(gone + back + "55 "));

    // While saving, the log has them in their place too.
    Click("IDC_CHK_SAVE");
    ReceiveFromDevice({0x41});
    Unplug();
    ASSERT_TRUE(QtWaitUntil([&] { return Area().endsWith(gone); }));
    PlugAgain();
    ASSERT_TRUE(QtWaitUntil([&] { return Area().endsWith(back); }));
    ReceiveFromDevice({0x42});
    EXPECT_EQ(LogFile(), "41 " + QString(gone + back).replace("\n", "\r\n").toStdString() + "42 ");
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join('\n').toStdString();
}

TEST_F(ReconnectingPipeline, CloseEndsTheWaitAndSoDoesClosingTheWindow) {
    MessageBoxRecorder boxes;
    Unplug();
    ASSERT_TRUE(QtWaitUntil([&] { return Area().endsWith(gone); }));
    Click("IDC_BTN_OPEN");  // 关闭
    EXPECT_FALSE(dlg.IsPortOpen());
    EXPECT_EQ(Lamp(), QStringLiteral("串口已关闭"));
    EXPECT_TRUE(Get<QWidget>("IDC_COMBO_PORT")->isEnabled());

    PlugAgain();
    Click("IDC_BTN_OPEN");
    ASSERT_TRUE(dlg.IsPortOpen());
    Unplug();
    ASSERT_TRUE(QtWaitUntil([&] { return Area().count(QStringLiteral("串口已断开")) == 2; }));
    dlg.reject();  // the window closes
    EXPECT_FALSE(dlg.IsPortOpen());
    EXPECT_EQ(ThreadsNamed({"corvala-rx", "corvala-tx", "corvala-modem"}), 0);
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join('\n').toStdString();
}

// A device back but held by another program is tried again at each look; why it does not
// open is told once.
TEST_F(ReconnectingPipeline, ADeviceBackButHeldIsToldOnceAndRetried) {
    MessageBoxRecorder boxes;
    Unplug();
    ASSERT_TRUE(QtWaitUntil([&] { return Area().endsWith(gone); }));
    device = pluggedAgain.emplace_back(std::make_unique<PtyPair>()).get();
    const int holder = ::open(device->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    fs::create_symlink(device->SlavePath(), portLink);
    const QString refused =
        QStringLiteral("串口已重新出现，但无法打开，正在重试：该串口正被其他程序占用。（系统：");
    ASSERT_TRUE(QtWaitUntil([&] { return Area().contains(refused); }));
    QTest::qWait(1500);  // a few more looks, each refused
    ::close(holder);
    ASSERT_TRUE(QtWaitUntil([&] { return Area().endsWith(back); }));
    EXPECT_EQ(Area().count(refused), 1);
    ReceiveFromDevice({0x55});
    EXPECT_TRUE(boxes.Texts().isEmpty()) << boxes.Texts().join('\n').toStdString();
}

}  // namespace
