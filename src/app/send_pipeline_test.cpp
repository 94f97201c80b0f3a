// The send pipeline through the real dialog: what arrives at a pseudo-terminal's device end.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"
#include "test/device_read.h"
#include "test/message_box_recorder.h"
#include "test/qt_wait.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class SendPipeline : public ::testing::Test {
protected:
    template <typename T>
    T* Get(const char* name) {
        return dlg.findChild<T*>(QString::fromUtf8(name));
    }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    void Open() {
        Click("IDC_BTN_OPEN");
        ASSERT_TRUE(dlg.IsPortOpen());
    }
    void Type(const QString& text) { Get<QPlainTextEdit>("IDC_EDIT_TX")->setPlainText(text); }
    Bytes Device(size_t count) { return DeviceReceives(pty, count); }
    QString Tx() { return Get<QLabel>("IDC_TXT_TXCOUNT")->text(); }
    // The counter follows when the writer reports the bytes gone.
    bool TxBecomes(const char* count) { return QtWaitUntil([&] { return Tx() == count; }); }
    // Opens the port and presses send with cyclic sending ticked.
    void StartCycle(const QString& text, const QString& interval) {
        Open();
        Type(text);
        Get<QLineEdit>("IDC_EDIT_INTERVAL")->setText(interval);
        Click("IDC_CHK_CYCLE");
        Click("IDC_BTN_SEND");
    }

    PtyPair pty;
    CPortBenchDlg dlg{{.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent", .charset = "UTF-8"}};
};

TEST_F(SendPipeline, HexSendOnce) {
    Open();
    Type("  41 4243  ");
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(3), (Bytes{0x41, 0x42, 0x43}));
    EXPECT_TRUE(TxBecomes("3"));
    Type("41\r\n42\n");  // line breaks separate, they are no bytes
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(2), (Bytes{0x41, 0x42}));
    EXPECT_TRUE(TxBecomes("5"));
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "41\n42\n");
}

TEST_F(SendPipeline, ABlankAreaSendsNothingAndSaysNothing) {
    Open();
    MessageBoxRecorder boxes;
    Type("   ");
    Click("IDC_BTN_SEND");
    EXPECT_TRUE(pty.Read(1, 50ms).empty());
    EXPECT_TRUE(TxBecomes("0"));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SendPipeline, TextSendInTheCharsetWithoutTerminator) {
    Open();
    Click("IDC_CHK_HEXSEND");
    Type(QStringLiteral("AB中"));
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(5), (Bytes{0x41, 0x42, 0xE4, 0xB8, 0xAD}));
    EXPECT_TRUE(TxBecomes("5"));
    EXPECT_TRUE(pty.Read(1, 50ms).empty());
    Type("a\nb");  // lines of the send area end in CR LF, as typed on Windows
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(4), (Bytes{'a', '\r', '\n', 'b'}));
}

TEST_F(SendPipeline, AZeroCharacterIsSentAsAZeroByte) {
    Open();
    Click("IDC_CHK_HEXSEND");
    Type(QString::fromUtf16(u"AB\0CD", 5));
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(5), (Bytes{0x41, 0x42, 0x00, 0x43, 0x44}));
    EXPECT_TRUE(TxBecomes("5"));
}

TEST(SendCharset, GbkTextSendsItsTwoBytes) {
    PtyPair pty;
    CPortBenchDlg dlg({.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent", .charset = "GBK"});
    QTest::mouseClick(dlg.findChild<QPushButton*>("IDC_BTN_OPEN"), Qt::LeftButton);
    QTest::mouseClick(dlg.findChild<QCheckBox*>("IDC_CHK_HEXSEND"), Qt::LeftButton);
    dlg.findChild<QPlainTextEdit*>("IDC_EDIT_TX")->setPlainText(QStringLiteral("中"));
    QTest::mouseClick(dlg.findChild<QPushButton*>("IDC_BTN_SEND"), Qt::LeftButton);
    EXPECT_EQ(pty.Read(2, 5s), (Bytes{0xD6, 0xD0}));
    EXPECT_TRUE(QtWaitUntil([&] { return dlg.findChild<QLabel*>("IDC_TXT_TXCOUNT")->text() == "2"; }));
}

TEST_F(SendPipeline, CyclingStartsTicksAndStops) {
    StartCycle("AA", "20");
    ASSERT_TRUE(dlg.IsCycling());
    EXPECT_EQ(Get<QPushButton>("IDC_BTN_SEND")->text(), QStringLiteral("停止"));
    EXPECT_FALSE(Get<QPlainTextEdit>("IDC_EDIT_TX")->isEnabled());
    EXPECT_FALSE(Get<QPushButton>("IDC_BTN_OPEN")->isEnabled());
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_HEXSEND")->isEnabled());
    EXPECT_EQ(Device(4), (Bytes{0xAA, 0xAA, 0xAA, 0xAA}));  // the press, then ticks

    // Ticks neither validate what is being typed nor rewrite the areas.
    MessageBoxRecorder boxes;
    Get<QLineEdit>("IDC_EDIT_INTERVAL")->setText("abc");
    Click("IDC_CHK_CYCLE");  // unticking does not stop a running cycle
    Get<QPlainTextEdit>("IDC_EDIT_TX")->setPlainText("edited");
    EXPECT_EQ(Device(2), (Bytes{0xAA, 0xAA}));
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(Get<QLineEdit>("IDC_EDIT_INTERVAL")->text(), "abc");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "edited");

    Click("IDC_BTN_SEND");  // 停止 stops at once, whatever the interval box holds
    EXPECT_FALSE(dlg.IsCycling());
    EXPECT_TRUE(boxes.Texts().isEmpty());
    EXPECT_EQ(Get<QPushButton>("IDC_BTN_SEND")->text(), QStringLiteral("发送"));
    EXPECT_TRUE(Get<QPlainTextEdit>("IDC_EDIT_TX")->isEnabled());
    EXPECT_TRUE(Get<QPushButton>("IDC_BTN_OPEN")->isEnabled());
    EXPECT_TRUE(Get<QCheckBox>("IDC_CHK_HEXSEND")->isEnabled());
    pty.Read(4096, 30ms);  // a tick may have been on its way
    EXPECT_TRUE(pty.Read(1, 100ms).empty());
}

TEST_F(SendPipeline, ABadIntervalIsToldOnceAndStartsNoCycle) {
    MessageBoxRecorder boxes;
    Open();
    Type("41");
    Click("IDC_CHK_CYCLE");
    // A value that does not parse leaves the 0 in place, so no cycle starts either.
    for (const char* interval : {"0", "99999999999", "abc"}) {
        const qsizetype before = boxes.Texts().size();
        Get<QLineEdit>("IDC_EDIT_INTERVAL")->setText(interval);
        Click("IDC_BTN_SEND");
        ASSERT_EQ(boxes.Texts().size(), before + 1) << interval;
        EXPECT_TRUE(boxes.Texts().last().contains("1 到 4294967295")) << interval;
        EXPECT_FALSE(dlg.IsCycling());
        EXPECT_EQ(Get<QPushButton>("IDC_BTN_SEND")->text(), QStringLiteral("发 送"));
    }
    EXPECT_TRUE(pty.Read(1, 50ms).empty());
}

TEST_F(SendPipeline, TheLargestIntervalIsAccepted) {
    StartCycle("41", "4294967295");
    EXPECT_TRUE(dlg.IsCycling());
    EXPECT_EQ(Device(1), Bytes{0x41});
    Click("IDC_BTN_SEND");
    EXPECT_FALSE(dlg.IsCycling());
}

TEST_F(SendPipeline, APulledCableStopsTheCycleAndTellsOnce) {
    StartCycle("55", "5");
    ASSERT_EQ(Device(1), Bytes{0x55});
    MessageBoxRecorder boxes;
    pty.CloseMaster();
    ASSERT_TRUE(QtWaitUntil([&] { return !dlg.IsPortOpen(); }));
    QtWaitUntil([] { return false; }, 100);  // room for a second message, which must not come
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_FALSE(dlg.IsCycling());
    EXPECT_TRUE(Get<QPushButton>("IDC_BTN_OPEN")->isEnabled());
    EXPECT_EQ(Get<QPushButton>("IDC_BTN_OPEN")->text(), QStringLiteral("开   启"));
}

TEST_F(SendPipeline, TheCounterCountsOnlyWhatTheDeviceTook) {
    Open();
    Get<QPlainTextEdit>("IDC_EDIT_TX")->setPlainText(QString(2 * 300000, QChar('A')));  // 300 kB
    MessageBoxRecorder boxes;
    Click("IDC_BTN_SEND");  // nobody reads the device end: the write waits, and says so
    ASSERT_TRUE(
        QtWaitUntil([&] { return !Get<QPushButton>("IDC_BTN_SEND")->toolTip().isEmpty(); }, 10000));
    EXPECT_TRUE(boxes.Texts().isEmpty());
    const uint32_t sent = Tx().toUInt();
    EXPECT_GT(sent, 0u);
    EXPECT_LT(sent, 300000u);
    EXPECT_TRUE(dlg.IsPortOpen());
}

TEST_F(SendPipeline, TheWindowNeverWaitsForTheDevice) {
    Open();
    Type(QString(2 * 200000, QChar('B')));  // 200 kB, far more than the pty holds
    MessageBoxRecorder boxes;
    const auto start = std::chrono::steady_clock::now();
    Click("IDC_BTN_SEND");
    // Written on the window thread, this waited for the device (or the 2 s stall limit).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(Device(200000).size(), 200000u);
    ASSERT_TRUE(QtWaitUntil([&] { return Tx() == "200000"; }));
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SendPipeline, ATickWhileTheLastBytesStillGoOutIsSkippedNotQueued) {
    const QString payload(2 * 100000, QChar('C'));  // 100 kB, which the device does not take yet
    StartCycle(payload, "1");
    QtWaitUntil([] { return false; }, 300);  // some 300 ticks come and go
    Click("IDC_BTN_SEND");  // stops
    ASSERT_FALSE(dlg.IsCycling());
    // Only the press's bytes went out; queued ticks would keep sending for a long time.
    EXPECT_EQ(pty.Read(300000, 1500ms).size(), 100000u);
}

TEST_F(SendPipeline, ClearSendAreaEmptiesIt) {
    Type("41 42");
    Click("IDC_BTN_CLEAR_TX");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "");
}

TEST_F(SendPipeline, ConvertersRewriteTheChosenArea) {
    MessageBoxRecorder boxes;
    Type("AB1");
    Click("IDC_BTN_TOHEX");  // no area chosen: nothing happens
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "AB1");
    Click("IDC_CHK_CONV_TX");
    Click("IDC_BTN_TOHEX");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "41 42 31 ");
    Click("IDC_BTN_TOSTR");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "AB1");
    EXPECT_TRUE(Get<QPushButton>("IDC_BTN_TOSTR")->isEnabled());

    Click("IDC_CHK_CONV_RX");  // the boxes exclude each other
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_CONV_TX")->isChecked());
    Get<ReceiveView>("IDC_EDIT_RX")->Append("41 42 ");
    Click("IDC_BTN_TOSTR");
    EXPECT_EQ(Get<ReceiveView>("IDC_EDIT_RX")->Text(0, 2), QString("AB"));
    Click("IDC_CHK_CONV_TX");
    EXPECT_FALSE(Get<QCheckBox>("IDC_CHK_CONV_RX")->isChecked());
    EXPECT_TRUE(boxes.Texts().isEmpty());
}

TEST_F(SendPipeline, TextThatIsNoHexIsNeitherSentNorConverted) {
    Open();
    MessageBoxRecorder boxes;
    struct Case {
        const char* typed;
        const char* told;
    };
    for (const Case& c : {Case{"GG 12 zz", "第 1 个字符“G”"}, Case{"0x41", "第 2 个字符“x”"},
                          Case{"41,42", "第 3 个字符“,”"}, Case{"41\n4Z", "第 5 个字符“Z”"}}) {
        Type(QString::fromUtf8(c.typed));
        Click("IDC_BTN_SEND");
        EXPECT_TRUE(pty.Read(1, 50ms).empty()) << c.typed;
        ASSERT_FALSE(boxes.Texts().isEmpty());
        EXPECT_TRUE(boxes.Texts().last().startsWith(QString::fromUtf8(c.told) + QStringLiteral("不是十六进制数字，没有发送任何数据。")))
            << boxes.Texts().last().toStdString();
    }
    EXPECT_TRUE(TxBecomes("0"));
    Click("IDC_CHK_CYCLE");  // nor does a cycle start
    Click("IDC_BTN_SEND");
    EXPECT_FALSE(dlg.IsCycling());
    Type("41 4");  // a lone last digit is a byte of its own
    Click("IDC_BTN_SEND");
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(2), (Bytes{0x41, 0x04}));

    Click("IDC_BTN_OPEN");  // converters work while the port is closed
    Click("IDC_CHK_CONV_TX");
    Type("41 G1");
    Click("IDC_BTN_TOSTR");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), "41 G1");
    EXPECT_TRUE(boxes.Texts().last().startsWith(QStringLiteral("第 4 个字符“G”不是十六进制数字，没有转换。")));
}

TEST_F(SendPipeline, ConvertersTakeTheWholeTextOfEitherArea) {
    constexpr qsizetype kLong = 70000;  // more characters than the converters once took
    const QString hex = QStringLiteral("41 ").repeated(kLong);
    Type(QString(kLong, QChar('A')));
    Click("IDC_CHK_CONV_TX");
    Click("IDC_BTN_TOHEX");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), hex);
    Click("IDC_BTN_TOSTR");
    EXPECT_EQ(Get<QPlainTextEdit>("IDC_EDIT_TX")->toPlainText(), QString(kLong, QChar('A')));

    auto* receive = Get<ReceiveView>("IDC_EDIT_RX");
    receive->Append(hex.toStdString());
    Click("IDC_CHK_CONV_RX");
    Click("IDC_BTN_TOSTR");
    EXPECT_EQ(receive->Text(0, receive->Length()), QString(kLong, QChar('A')));
    Click("IDC_BTN_TOHEX");
    EXPECT_EQ(receive->Text(0, receive->Length()), hex);
}

// A line broken with Enter ends in CR LF; a lone CR or LF from a conversion or a paste
// stays that byte, through the converters, the send and a copy pasted back.
TEST_F(SendPipeline, ALoneCrOrLfKeepsItsByteThroughTheConvertersAPasteAndASend) {
    auto* area = Get<QPlainTextEdit>("IDC_EDIT_TX");
    Click("IDC_CHK_CONV_TX");
    Type("41 0D 0A 42 0A 43 0D 44");
    Click("IDC_BTN_TOSTR");
    EXPECT_EQ(area->blockCount(), 2);  // lone breaks break the line inside it
    Click("IDC_BTN_TOHEX");
    EXPECT_EQ(area->toPlainText(), "41 0D 0A 42 0A 43 0D 44 ");

    const std::string pasted = "A\nB\rC\r\nD";
    QGuiApplication::clipboard()->setText(QString::fromStdString(pasted));
    Type("");
    area->paste();
    area->selectAll();
    area->copy();
    area->moveCursor(QTextCursor::End);
    area->paste();
    Open();
    Click("IDC_CHK_HEXSEND");  // text
    Click("IDC_BTN_SEND");
    const std::string twice = pasted + pasted;
    EXPECT_EQ(Device(twice.size()), Bytes(twice.begin(), twice.end()));

    Type("x");
    area->moveCursor(QTextCursor::End);
    QTest::keyClick(area, Qt::Key_Return);
    QTest::keyClick(area, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(area, "y");
    Click("IDC_BTN_SEND");
    EXPECT_EQ(Device(6), (Bytes{'x', '\r', '\n', '\r', '\n', 'y'}));
}

TEST(SendAreaBytes, EveryByteValueRoundTripsThroughBothConvertersAndIsSentAsItself) {
    PtyPair pty;
    CPortBenchDlg dlg(
        {.extraPorts = {pty.SlavePath()}, .sysfsRoot = "/nonexistent", .charset = "ISO-8859-1"});
    auto click = [&](const char* name) {
        QTest::mouseClick(dlg.findChild<QAbstractButton*>(name), Qt::LeftButton);
    };
    auto* area = dlg.findChild<QPlainTextEdit*>("IDC_EDIT_TX");
    QString hex;
    Bytes all;
    for (int b = 0; b < 256; ++b) {
        hex += QStringLiteral("%1 ").arg(b, 2, 16, QChar(u'0')).toUpper();
        all.push_back(static_cast<uint8_t>(b));
    }
    area->setPlainText(hex);
    click("IDC_CHK_CONV_TX");
    click("IDC_BTN_TOSTR");
    click("IDC_BTN_TOHEX");
    EXPECT_EQ(area->toPlainText(), hex);
    click("IDC_BTN_TOSTR");
    click("IDC_BTN_OPEN");
    click("IDC_CHK_HEXSEND");  // text
    click("IDC_BTN_SEND");
    EXPECT_EQ(DeviceReceives(pty, 256), all);
}

}  // namespace
