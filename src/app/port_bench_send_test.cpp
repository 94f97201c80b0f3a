// The send workflow through the real dialog: line endings, pacing, files and echo, as the
// device end of a pseudo-terminal and the receive area see them.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"
#include "test/device_read.h"
#include "test/find_control.h"
#include "test/message_box_recorder.h"
#include "test/qt_wait.h"
#include "ui/advanced_dlg.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

uint64_t Fnv1a(const uint8_t* p, size_t n, uint64_t h = 14695981039346656037ull) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// The device end, read on a thread of its own as fast as it comes: how much and its hash.
class FarEnd {
public:
    explicit FarEnd(PtyPair& pty) : m_thread([this, &pty] {
        uint8_t buffer[65536];
        while (!m_stop) {
            pollfd p{pty.MasterFd(), POLLIN, 0};
            if (poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) continue;
            const ssize_t n = read(pty.MasterFd(), buffer, sizeof buffer);
            if (n <= 0) continue;
            m_hash = Fnv1a(buffer, static_cast<size_t>(n), m_hash);
            m_count += static_cast<uint64_t>(n);
        }
    }) {}
    ~FarEnd() {
        m_stop = true;
        m_thread.join();
    }
    uint64_t Count() const { return m_count; }
    uint64_t Hash() const { return m_hash; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_count{0};
    std::atomic<uint64_t> m_hash{14695981039346656037ull};
    std::thread m_thread;
};

class SendWorkflow : public ::testing::Test {
protected:
    template <typename T>
    T* Get(const char* name) {
        return FindControl<T>(dlg, name);
    }
    CAdvancedDlg& Advanced() { return *dlg.findChild<CAdvancedDlg*>(); }
    template <typename T>
    T* Page(const char* name) {
        return FindControl<T>(Advanced(), name);
    }
    void Click(QWidget* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void Open() {
        Click(Get<QPushButton>("IDC_BTN_OPEN"));
        ASSERT_TRUE(dlg.IsPortOpen());
    }
    void SetOptions(void (*change)(PortOptions&)) {
        PortOptions o = Advanced().Options();
        change(o);
        Advanced().SetOptions(o);
    }
    void Type(const QString& text) { Get<QPlainTextEdit>("IDC_EDIT_TX")->setPlainText(text); }
    Bytes Device(size_t count) { return DeviceReceives(pty, count); }
    QString Tx() { return Get<QLabel>("IDC_TXT_TXCOUNT")->text(); }
    QString SendCaption() { return Get<QPushButton>("IDC_BTN_SEND")->text(); }
    QString Shown() {
        auto* area = Get<ReceiveView>("IDC_EDIT_RX");
        return area->Text(0, area->Length());
    }
    QString WriteFile(const char* name, const std::string& content) {
        const QString path = dir.filePath(QString::fromUtf8(name));
        std::ofstream(path.toStdString(), std::ios::binary) << content;
        return path;
    }

    QTemporaryDir dir;
    PtyPair pty;
    CPortBenchDlg dlg{{.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent", .charset = "UTF-8"}};
};

TEST_F(SendWorkflow, TheLineEndingEndsEveryTextSendAndNoHexSend) {
    struct Case {
        int item;  // in the page's list
        const char* ending;
    };
    Open();
    Click(Get<QCheckBox>("IDC_CHK_HEXSEND"));  // text
    auto* endings = Page<QComboBox>("cbLineEnding");
    for (const Case& c : {Case{0, ""}, Case{1, "\r"}, Case{2, "\n"}, Case{3, "\r\n"}}) {
        endings->setCurrentIndex(c.item == 0 ? 1 : c.item - 1);
        QTest::keyClick(endings, c.item == 0 ? Qt::Key_Up : Qt::Key_Down);  // as a user picks it
        const std::string wanted = std::string("AT") + c.ending;
        Type("AT");
        Click(Get<QPushButton>("IDC_BTN_SEND"));
        EXPECT_EQ(pty.Read(wanted.size() + 1, 300ms), Bytes(wanted.begin(), wanted.end())) << c.item;

        // A cycle repeats the ending it started with, whatever is picked meanwhile.
        Get<QCheckBox>("IDC_CHK_CYCLE")->setChecked(true);
        Click(Get<QPushButton>("IDC_BTN_SEND"));
        QTest::keyClick(endings, Qt::Key_Home);
        const std::string twice = wanted + wanted;
        EXPECT_EQ(Device(twice.size()), Bytes(twice.begin(), twice.end())) << c.item;
        Click(Get<QPushButton>("IDC_BTN_SEND"));
        Get<QCheckBox>("IDC_CHK_CYCLE")->setChecked(false);
        ASSERT_TRUE(QtWaitUntil([&] { return pty.Read(4096, 30ms).empty(); }));
    }
    QTest::keyClick(endings, Qt::Key_End);
    EXPECT_EQ(Advanced().Options().lineEnding, LineEnding::CrLf);
    Click(Get<QCheckBox>("IDC_CHK_HEXSEND"));  // hex sends exactly what was typed
    Type("41 54");
    Click(Get<QPushButton>("IDC_BTN_SEND"));
    EXPECT_EQ(pty.Read(3, 300ms), (Bytes{0x41, 0x54}));
}

TEST_F(SendWorkflow, CtrlEnterSendsAndEnterBreaksTheLine) {
    dlg.show();  // shortcuts work in the active window only
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    Open();
    auto* area = Get<QPlainTextEdit>("IDC_EDIT_TX");
    area->setFocus();
    Type("41");
    area->moveCursor(QTextCursor::End);
    QTest::keyClick(area, Qt::Key_Return);
    QTest::keyClicks(area, "42");
    EXPECT_EQ(area->toPlainText(), "41\n42");
    QTest::keyClick(area, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Device(2), (Bytes{0x41, 0x42}));
    QTest::keyClick(area, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(Device(2), (Bytes{0x41, 0x42}));
    EXPECT_EQ(area->toPlainText(), "41\n42");
}

TEST_F(SendWorkflow, CtrlUpAndDownStepThroughTheSendsAndBackToWhatWasTyped) {
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    Open();
    auto* area = Get<QPlainTextEdit>("IDC_EDIT_TX");
    auto* hex = Get<QCheckBox>("IDC_CHK_HEXSEND");
    for (const char* sent : {"41", "42 43"}) {
        Type(QString::fromUtf8(sent));
        Click(Get<QPushButton>("IDC_BTN_SEND"));
    }
    Click(hex);  // text: the history brings back each send's own kind
    area->setFocus();
    Type("typed");
    const std::pair<Qt::Key, const char*> steps[] = {
        {Qt::Key_Up, "42 43"},   {Qt::Key_Up, "41"},      {Qt::Key_Up, "41"},
        {Qt::Key_Down, "42 43"}, {Qt::Key_Down, "typed"}, {Qt::Key_Down, "typed"}};
    for (const auto& [key, shown] : steps) {
        QTest::keyClick(area, key, Qt::ControlModifier);
        EXPECT_EQ(area->toPlainText(), shown);
        EXPECT_EQ(hex->isChecked(), area->toPlainText() != "typed") << shown;
    }
}

// 停止 and closing the port both end a paced send at once; the writer is idle after it and
// the counter says what the device got.
TEST_F(SendWorkflow, StopAndCloseEndAPacedSendAtOnce) {
    for (const bool close : {false, true}) {
        Open();
        Click(Get<QCheckBox>("IDC_CHK_HEXSEND"));
        SetOptions([](PortOptions& o) { o.charDelayMs = 100; });
        Type(QString(50, QChar('x')));
        FarEnd device(pty);
        Click(Get<QPushButton>("IDC_BTN_SEND"));
        EXPECT_EQ(SendCaption(), QStringLiteral("停止"));
        ASSERT_TRUE(QtWaitUntil([&] { return device.Count() >= 2; }));
        Click(Get<QPushButton>(close ? "IDC_BTN_OPEN" : "IDC_BTN_SEND"));
        EXPECT_EQ(SendCaption(), QStringLiteral("发送"));
        EXPECT_EQ(dlg.IsPortOpen(), !close);
        // Well under the 100 ms the next byte would take, and never the 5 s of the rest.
        const uint64_t got = device.Count();
        QtWaitUntil([] { return false; }, 300);
        EXPECT_EQ(device.Count(), got) << close;
        EXPECT_LT(got, 50u);
        EXPECT_EQ(Tx(), QString::number(got)) << close;
        Click(Get<QCheckBox>("IDC_CHK_HEXSEND"));
        if (!close) Click(Get<QPushButton>("IDC_BTN_OPEN"));
        Click(Get<QPushButton>("IDC_BTN_RESET"));
    }
}

// A device that takes nothing (flow control holds it off, the line is slow): a send waits,
// says so with what is left, and 停止 or 取消 end it at once; nothing is called a failure.
TEST_F(SendWorkflow, ASendTheDeviceHoldsOffShowsThatItWaitsAndEndsAtOnce) {
    constexpr size_t kSize = 256 * 1024;  // far more than a pty holds
    const QString path = WriteFile("held.bin", std::string(kSize, 'h'));
    const QString waiting = QStringLiteral("等待对方接收…还有 ");
    MessageBoxRecorder boxes;
    Open();
    for (const bool file : {false, true}) {
        auto* send = Get<QPushButton>("IDC_BTN_SEND");
        if (file) {
            emit Advanced().sendFileRequested(path);
            ASSERT_TRUE(QtWaitUntil(
                [&] { return Page<QLabel>("lblSendFile")->text().startsWith(waiting); }));
            Click(Page<QPushButton>("btnCancelFile"));
            ASSERT_TRUE(QtWaitUntil([&] {
                return Page<QLabel>("lblSendFile")->text().startsWith(QStringLiteral("已取消"));
            }));
        } else {
            Click(Get<QCheckBox>("IDC_CHK_HEXSEND"));  // text
            Type(QString(kSize, QChar('h')));
            Click(send);
            ASSERT_TRUE(QtWaitUntil([&] { return send->toolTip().startsWith(waiting); }));
            EXPECT_EQ(SendCaption(), QStringLiteral("停止"));
            Click(send);
        }
        ASSERT_TRUE(QtWaitUntil(
            [&] { return SendCaption() == QStringLiteral("发送") && send->toolTip().isEmpty(); }));
        EXPECT_LT(Tx().toULongLong(), kSize);
        pty.Read(kSize, 200ms);  // emptied for the next case
    }
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SendWorkflow, AFileOf50MBArrivesByteExact) {
    std::string content(50u << 20, '\0');
    std::mt19937_64 random(19);
    for (size_t i = 0; i < content.size(); i += 8) {
        const uint64_t v = random();
        std::memcpy(&content[i], &v, 8);
    }
    const QString path = WriteFile("big.bin", content);
    const uint64_t hash = Fnv1a(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    content = {};
    Open();
    FarEnd device(pty);
    MessageBoxRecorder boxes;
    emit Advanced().sendFileRequested(path);
    EXPECT_EQ(SendCaption(), QStringLiteral("停止"));
    ASSERT_TRUE(QtWaitUntil([&] { return device.Count() == 50u << 20; }, 60000));
    EXPECT_EQ(device.Hash(), hash);
    ASSERT_TRUE(QtWaitUntil([&] { return SendCaption() == QStringLiteral("发送"); }));
    EXPECT_EQ(Tx(), QString::number(50u << 20));
    EXPECT_TRUE(Page<QLabel>("lblSendFile")->text().startsWith(QStringLiteral("发送完成")));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SendWorkflow, ClosingThePortMidFileStopsItAndCountsWhatWent) {
    const QString path = WriteFile("mid.bin", std::string(20u << 20, 'z'));
    Open();
    FarEnd device(pty);
    emit Advanced().sendFileRequested(path);
    ASSERT_TRUE(QtWaitUntil([&] { return device.Count() > 0; }));
    Click(Get<QPushButton>("IDC_BTN_OPEN"));
    ASSERT_FALSE(dlg.IsPortOpen());
    EXPECT_EQ(SendCaption(), QStringLiteral("发送"));
    ASSERT_TRUE(QtWaitUntil([&] { return Page<QLabel>("lblSendFile")->text().startsWith(QStringLiteral("已取消")); }));
    // What the port still held drains to the device as it closes.
    EXPECT_TRUE(QtWaitUntil([&] { return Tx() == QString::number(device.Count()); }))
        << Tx().toStdString() << " " << device.Count();
    EXPECT_LT(device.Count(), 20u << 20);
}

TEST_F(SendWorkflow, AFileThatCannotBeReadOrShrinksIsToldOnce) {
    Open();
    MessageBoxRecorder boxes;
    emit Advanced().sendFileRequested(dir.path());  // a directory
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(boxes.Texts().value(0).startsWith(QStringLiteral("无法打开文件")));
    EXPECT_EQ(SendCaption(), QStringLiteral("发 送"));

    const QString path = WriteFile("shrinks.txt", std::string(2000, 's'));
    SetOptions([](PortOptions& o) { o.charDelayMs = 1; });
    FarEnd device(pty);
    emit Advanced().sendFileRequested(path);
    ASSERT_TRUE(QtWaitUntil([&] { return device.Count() > 300; }));
    std::filesystem::resize_file(path.toStdString(), 10);  // cut short while it goes
    ASSERT_TRUE(QtWaitUntil([&] { return boxes.Texts().size() == 2; }));
    QtWaitUntil([] { return false; }, 100);  // room for another message, which must not come
    EXPECT_EQ(boxes.Texts().size(), 2);
    EXPECT_TRUE(boxes.Texts()[1].contains(QStringLiteral("变短了"))) << boxes.Texts()[1].toStdString();
    EXPECT_EQ(SendCaption(), QStringLiteral("发送"));
    EXPECT_LT(device.Count(), 2000u);
    EXPECT_EQ(Tx(), QString::number(device.Count()));
}

TEST_F(SendWorkflow, AnUnplugDuringAFileSendIsToldOnceAndEndsIt) {
    const QString path = WriteFile("unplug.bin", std::string(4u << 20, 'u'));
    Open();
    MessageBoxRecorder boxes;
    emit Advanced().sendFileRequested(path);
    ASSERT_TRUE(QtWaitUntil([&] { return !pty.Read(1, 5ms).empty(); }));
    pty.CloseMaster();
    ASSERT_TRUE(QtWaitUntil([&] { return !dlg.IsPortOpen(); }));
    QtWaitUntil([] { return false; }, 200);
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_EQ(SendCaption(), QStringLiteral("发送"));
    EXPECT_FALSE(Page<QPushButton>("btnCancelFile")->isEnabled());
}

TEST_F(SendWorkflow, EchoedSendsAreLinesOfTheirOwnAndNoReceivedBytes) {
    Open();
    Page<QCheckBox>("chkEcho")->click();
    ASSERT_TRUE(Advanced().Options().echo);
    SetOptions([](PortOptions& o) { o.lineEnding = LineEnding::CrLf; });
    Click(Get<QCheckBox>("IDC_CHK_HEXSEND"));
    Click(Get<QCheckBox>("IDC_CHK_HEXSHOW"));  // text display
    const Bytes reply{'>', ' '};
    ASSERT_TRUE(pty.Write(reply));  // a prompt without a line end
    ASSERT_TRUE(QtWaitUntil([&] { return Shown() == "> "; }));
    Type("AT");
    Click(Get<QPushButton>("IDC_BTN_SEND"));
    EXPECT_EQ(Shown(), "> \r\nTX> AT\r\n");
    const Bytes ok{'O', 'K', '\r', '\n'};
    ASSERT_TRUE(pty.Write(ok));
    ASSERT_TRUE(QtWaitUntil([&] { return Shown().endsWith("OK\r\n"); }));
    Click(Get<QCheckBox>("IDC_CHK_HEXSHOW"));  // hex display echoes hex pairs
    Click(Get<QPushButton>("IDC_BTN_SEND"));
    EXPECT_EQ(Shown(), "> \r\nTX> AT\r\nOK\r\nTX> 41 54 0D 0A \r\n");
    EXPECT_EQ(Get<QLabel>("IDC_TXT_RXCOUNT")->text(), "6");
    // A lone CR ends an echo's line as it ends any line: no empty line between two sends.
    Click(Get<QCheckBox>("IDC_CHK_HEXSHOW"));
    SetOptions([](PortOptions& o) { o.lineEnding = LineEnding::Cr; });
    const QString before = Shown();
    Click(Get<QPushButton>("IDC_BTN_SEND"));
    Click(Get<QPushButton>("IDC_BTN_SEND"));
    EXPECT_EQ(Shown(), before + "TX> AT\rTX> AT\r");
}

}  // namespace
