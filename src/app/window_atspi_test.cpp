// The real program, driven from outside over the AT-SPI bus as a screen reader drives it:
// found by what it says (role and name), used through its actions, its text and typed keys
// only. The device is the far end of a pseudo-terminal.
#include <atspi/atspi.h>
#include <gtest/gtest.h>
#include <asm/termbits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "serial/modem_lines.h"
#include "serial/pty_pair.h"
#include "test/atspi_driver.h"
#include "test/running_program.h"
#include "test/wait_until.h"

namespace {

using namespace std::chrono_literals;

const std::string kTitle = "Corvalav1.0.5 简体中文绿色单文件免费版";

std::string MakeHome() {
    std::string dir = (std::filesystem::temp_directory_path() / "corvala-atspi-XXXXXX").string();
    return mkdtemp(dir.data());
}

class WindowOverAtspi : public ::testing::Test {
protected:
    // The port named on the command line, which the window selects: the pty unless given.
    explicit WindowOverAtspi(std::string port = {})
        : home(MakeHome()),
          program({CORVALA_EXE, port.empty() ? pty.SlavePath() : port},
                  {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"},
                   {"QT_QPA_PLATFORM", "xcb"},
                   {"HOME", home},
                   {"XDG_CONFIG_HOME", home + "/config"},
                   {"XDG_DATA_HOME", home + "/data"}}) {}
    ~WindowOverAtspi() override { std::filesystem::remove_all(home); }

    void SetUp() override {
        app = WaitForApplication(program.Pid());
        ASSERT_TRUE(app) << "corvala did not come on the AT-SPI bus";
        main = WaitFor(app, {ATSPI_ROLE_DIALOG, kTitle});
        ASSERT_TRUE(main) << app.Dump();
        Activate(main);
    }
    void TearDown() override {
        Screenshot(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // The user clicks the window's bottom right corner (the advanced window may cover the
    // main one's top left): it takes the keyboard.
    void Activate(const Accessible& window) {
        const auto r = window.Extents();
        ASSERT_TRUE(r);
        Click({(*r)[0] + (*r)[2] - 3, (*r)[1] + (*r)[3] - 3});
        ASSERT_TRUE(WaitUntil([&] { return window.Has(ATSPI_STATE_ACTIVE); })) << window.Dump();
    }
    Accessible In(const Accessible& window, int role, const std::string& name,
                  const std::string& description = {}) {
        Accessible a = WaitFor(window, {role, name, description});
        EXPECT_TRUE(a) << "no \"" << name << description << "\" in\n" << window.Dump();
        return a;
    }
    void Press(const Accessible& window, const std::string& button) {
        ASSERT_TRUE(In(window, ATSPI_ROLE_PUSH_BUTTON, button).Do("Press")) << button;
    }
    // A check box or radio button, toggled when it is not as wanted.
    void SetChecked(const Accessible& window, int role, const std::string& name, bool on) {
        const Accessible box = In(window, role, name);
        if (box.Has(ATSPI_STATE_CHECKED) != on) {
            ASSERT_TRUE(box.Do("Toggle")) << name;
        }
        ASSERT_TRUE(WaitUntil([&] { return box.Has(ATSPI_STATE_CHECKED) == on; })) << name;
    }
    // A drop-down, named by what it chooses: its list opened by its action, the arrow keys
    // step to `item`, Enter takes it. (Qt gives a drop-down no focus action to reach it.)
    void Choose(const Accessible& window, const std::string& what, const std::string& item) {
        const Accessible combo = In(window, ATSPI_ROLE_COMBO_BOX, {}, what);
        const Accessible list = combo.Children().at(0);
        std::vector<std::string> items;
        for (const Accessible& i : list.Children()) items.push_back(i.Name());
        const auto at = [&](const std::string& name) {
            return std::find(items.begin(), items.end(), name) - items.begin();
        };
        const auto steps = at(item) - at(combo.Name());
        ASSERT_TRUE(combo.Do("Press")) << what;
        ASSERT_TRUE(WaitUntil([&] { return list.Has(ATSPI_STATE_SHOWING); })) << what;
        for (auto i = steps; i != 0; i += steps > 0 ? -1 : 1) PressKeys(steps > 0 ? "Down" : "Up");
        PressKeys("Return");
        ASSERT_TRUE(WaitUntil([&] { return combo.Name() == item; }))
            << what << ": " << combo.Name();
    }
    // The advanced window (Alt+S from the main one) on the page of that name.
    Accessible Advanced(const std::string& page) {
        Accessible window = Find(app, {ATSPI_ROLE_DIALOG, "高级设置"});
        if (!window) {
            PressKeys("Alt+S");
            window = In(app, ATSPI_ROLE_DIALOG, "高级设置");
        }
        EXPECT_TRUE(In(window, ATSPI_ROLE_PAGE_TAB, page).Do("Press"));
        return window;
    }
    void OpenPort() {
        Press(main, "开   启");
        ASSERT_TRUE(WaitUntil([&] { return Lamp().Description() == "串口已打开"; }))
            << Lamp().Description();
    }
    Accessible Lamp() { return In(main, ATSPI_ROLE_IMAGE, "串口状态"); }
    Accessible ReceiveArea() { return In(main, ATSPI_ROLE_TEXT, "接收区"); }
    Accessible SendArea() { return In(main, ATSPI_ROLE_TEXT, "发送区"); }
    // What the device received within the deadline, as text.
    std::string DeviceReads(size_t count) {
        const std::vector<uint8_t> got = pty.Read(count, 5s);
        return {got.begin(), got.end()};
    }
    void DeviceWrites(std::string_view text) {
        ASSERT_TRUE(pty.Write({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
    }
    bool ReceiveAreaReads(const std::string& text) {
        return WaitUntil([&] { return ReceiveArea().Text() == text; });
    }

    PtyPair pty;
    std::string home;
    RunningProgram program;
    Accessible app, main;
};

TEST_F(WindowOverAtspi, EachLineEndingFollowsATextSendAndTheEchoReadsAsAConversation) {
    OpenPort();
    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制发送", false);
    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制显示", false);
    const Accessible page = Advanced("发送");
    SetChecked(page, ATSPI_ROLE_CHECK_BOX, "回显", true);
    // The echo shows the bytes as sent, each send ending its own line.
    const struct {
        std::string ending, bytes, echo;
    } cases[] = {{"无", "AT", "TX> AT\r\n"},
                 {"CR", "AT\r", "TX> AT\r"},
                 {"LF", "AT\n", "TX> AT\n"},
                 {"CR LF", "AT\r\n", "TX> AT\r\n"}};
    std::string conversation;
    for (const auto& c : cases) {
        Choose(page, "行尾", c.ending);
        ASSERT_TRUE(SendArea().SetText("AT"));
        Press(main, "发 送");
        // Read exactly: a byte too many would come first in the next case's read.
        EXPECT_EQ(DeviceReads(c.bytes.size()), c.bytes) << c.ending;
        conversation += c.echo;
        EXPECT_TRUE(ReceiveAreaReads(conversation))
            << c.ending << ": " << ::testing::PrintToString(ReceiveArea().Text());
    }
    Screenshot("send-page");
    // Ctrl+Enter in the send area sends as the button does.
    ASSERT_TRUE(SendArea().SetText("ATI"));
    Activate(main);
    ASSERT_TRUE(SendArea().Focus());
    PressKeys("Ctrl+Return");
    EXPECT_EQ(DeviceReads(5), "ATI\r\n");
    EXPECT_EQ(SendArea().Text(), "ATI");
}

TEST_F(WindowOverAtspi, ASavedCommandIsAddedAndSentByItsKeyAndFromTheListAndKeptInTheHistory) {
    OpenPort();
    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制发送", false);
    const Accessible page = Advanced("常用命令");
    Press(page, "添加…");
    const Accessible edit = In(app, ATSPI_ROLE_DIALOG, "添加命令");
    ASSERT_TRUE(In(edit, ATSPI_ROLE_TEXT, "名称").SetText("复位"));
    ASSERT_TRUE(In(edit, ATSPI_ROLE_TEXT, "内容").SetText("ATZ"));
    Screenshot("command-edit");
    Press(edit, "确定");
    ASSERT_TRUE(WaitUntil([&] { return !Find(app, {ATSPI_ROLE_DIALOG, "添加命令"}); }));

    const Accessible list = In(page, ATSPI_ROLE_TREE, "常用命令");
    for (const char* cell : {"Ctrl+1", "复位", "文本", "ATZ"}) {
        EXPECT_TRUE(In(list, ATSPI_ROLE_TABLE_CELL, cell)) << cell;
    }
    Activate(page);
    PressKeys("Ctrl+1");
    EXPECT_EQ(DeviceReads(3), "ATZ");
    // Tabbed back to from the button beside it, the list sends its chosen command on Enter.
    ASSERT_TRUE(In(page, ATSPI_ROLE_PUSH_BUTTON, "发送").Focus());
    PressKeys("Shift+Tab");
    ASSERT_TRUE(WaitUntil([&] { return list.Has(ATSPI_STATE_FOCUSED); })) << list.Dump();
    PressKeys("Return");
    EXPECT_EQ(DeviceReads(3), "ATZ");

    ASSERT_TRUE(In(page, ATSPI_ROLE_PAGE_TAB, "历史记录").Do("Press"));
    const Accessible history = In(page, ATSPI_ROLE_TREE, "历史记录");
    EXPECT_TRUE(In(history, ATSPI_ROLE_TABLE_CELL, "ATZ")) << history.Dump();
    Screenshot("history");
}

TEST_F(WindowOverAtspi, AUtf8CharacterCutBetweenTwoWritesReadsWhole) {
    OpenPort();
    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制显示", false);
    const Accessible page = Advanced("接收");
    SetChecked(page, ATSPI_ROLE_RADIO_BUTTON, "UTF-8", true);
    EXPECT_FALSE(In(page, ATSPI_ROLE_RADIO_BUTTON, "每字节一个字符").Has(ATSPI_STATE_CHECKED));
    const std::string text = "中文测试\r\n";
    DeviceWrites(text.substr(0, 4));  // 中 and the first byte of 文
    ASSERT_TRUE(ReceiveAreaReads("中"));
    DeviceWrites(text.substr(4));
    EXPECT_TRUE(ReceiveAreaReads(text)) << ReceiveArea().Text();
    EXPECT_EQ(In(main, ATSPI_ROLE_LABEL, {}, "RX:").Name(), std::to_string(text.size()));
}

TEST_F(WindowOverAtspi, FindIsCountedAsShownStepsWithF3RefusesBadHexAndEscClosesOnlyTheBar) {
    OpenPort();
    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制显示", false);
    const std::string text = "ok 1\r\nok 2\r\nok 3\r\n";
    DeviceWrites(text);
    ASSERT_TRUE(ReceiveAreaReads(text));
    Activate(main);
    PressKeys("Ctrl+F");
    const Accessible field = In(main, ATSPI_ROLE_TEXT, "查找");
    ASSERT_TRUE(WaitUntil([&] { return field.Has(ATSPI_STATE_FOCUSED); })) << main.Dump();
    ASSERT_TRUE(field.SetText("ok"));
    const Accessible count = In(main, ATSPI_ROLE_LABEL, {}, "匹配数");
    const auto selection = [&] { return ReceiveArea().Selection().value_or(std::pair{-1, -1}); };
    EXPECT_TRUE(WaitUntil([&] { return count.Name() == "第 1 个，共 3 个"; })) << count.Name();
    EXPECT_EQ(selection(), (std::pair{0, 2}));
    Screenshot("find");
    PressKeys("F3");
    EXPECT_TRUE(WaitUntil([&] { return count.Name() == "第 2 个，共 3 个"; })) << count.Name();
    EXPECT_EQ(selection(), (std::pair{6, 8}));

    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制", true);
    ASSERT_TRUE(field.SetText("6F 6G"));
    EXPECT_TRUE(WaitUntil([&] { return count.Name() == "第 5 个字符“G”不是十六进制数字"; }))
        << count.Name();
    Screenshot("find-bad-hex");

    ASSERT_TRUE(field.Focus());
    PressKeys("Escape");
    EXPECT_TRUE(WaitUntil([&] { return !field.Has(ATSPI_STATE_SHOWING); }));
    EXPECT_TRUE(main.Has(ATSPI_STATE_SHOWING));
    EXPECT_TRUE(WaitUntil([&] { return ReceiveArea().Has(ATSPI_STATE_FOCUSED); }));
}

// Reached as a keyboard user reaches it: the receive area's context menu by its key, the
// last entry by Up, the file named in the save dialog.
TEST_F(WindowOverAtspi, SaveShownWritesWhatTheAreaReads) {
    OpenPort();
    SetChecked(main, ATSPI_ROLE_CHECK_BOX, "十六进制显示", false);
    DeviceWrites("line one\r\n行二\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !ReceiveArea().Text().empty(); }));
    for (const char* key : {"Menu", "Shift+F10"}) {
        const std::string path = home + "/shown.txt";
        std::filesystem::remove(path);
        Activate(main);
        ASSERT_TRUE(ReceiveArea().Focus());
        PressKeys(key);
        PressKeys("Up");
        ASSERT_TRUE(WaitUntil([] { return Focused().Name() == "保存显示内容…"; }))
            << key << ": " << Focused().Name();
        PressKeys("Return");
        const Accessible save = In(app, ATSPI_ROLE_DIALOG, "保存显示内容");
        ASSERT_TRUE(In(save, ATSPI_ROLE_TEXT, "文件名称(N)：").SetText(path));
        Press(save, "保存(S)");
        ASSERT_TRUE(WaitUntil([&] {
            return !Find(app, {ATSPI_ROLE_DIALOG, "保存显示内容"});
        })) << key;
        std::ifstream file(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), ReceiveArea().Text())
            << key;
    }
}

// A screen reader asking for the whole of a 100 MB flood (300 million characters as hex) gets
// an answer the bus carries, and the window answers on: an answer over the bus's limit would
// end the program's connection to it.
TEST_F(WindowOverAtspi, TheWholeTextOfA100MBAreaIsAnsweredAndTheWindowAnswersAfter) {
    OpenPort();
    const std::vector<uint8_t> block(1'000'000, 0x55);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(pty.Write(block, 60s));
    const Accessible rx = In(main, ATSPI_ROLE_LABEL, {}, "RX:");
    ASSERT_TRUE(WaitUntil([&] { return rx.Name() == "100000000"; }, 120s)) << rx.Name();
    const std::string all = ReceiveArea().Text();
    EXPECT_EQ(all.size(), 1u << 20);
    EXPECT_EQ(all.substr(0, 6), "55 55 ");
    EXPECT_EQ(Lamp().Description(), "串口已打开");
    EXPECT_EQ(rx.Name(), "100000000");
}

// Text that comes while a find's match holds the view further up is shown by a marker that
// reads as it shows; pressed, the view follows the newest text again.
TEST_F(WindowOverAtspi, TextThatComesOutOfViewIsMarkedAndTheMarkerLeadsBack) {
    OpenPort();
    std::string lines;
    for (int i = 0; i < 400; ++i) lines += "0123456789\r\n";
    DeviceWrites(lines);
    ASSERT_TRUE(WaitUntil([&] { return ReceiveArea().Text().size() == 3 * lines.size(); }));
    Activate(main);
    PressKeys("Ctrl+F");
    ASSERT_TRUE(In(main, ATSPI_ROLE_TEXT, "查找").SetText("30 31"));
    const Accessible count = In(main, ATSPI_ROLE_LABEL, {}, "匹配数");
    ASSERT_TRUE(WaitUntil([&] { return count.Name() == "第 1 个，共 400 个"; })) << count.Name();
    DeviceWrites("!");
    const Accessible marker =
        In(main, ATSPI_ROLE_PUSH_BUTTON, "↓ 下方有新数据", "回到最新数据 (Ctrl+End)");
    Screenshot("new-data-marker");
    ASSERT_TRUE(marker.Do("Press"));
    EXPECT_TRUE(WaitUntil([&] { return !marker.Has(ATSPI_STATE_SHOWING); }));
}

// What a screen reader reads of the settings and counters is what the window shows: its
// start state, then the counters after traffic both ways.
TEST_F(WindowOverAtspi, SettingsAndCountersReadAsShown) {
    const struct {
        std::string what, reads;
    } combos[] = {{"波特率", "9600"}, {"校验位", "None"}, {"数据位", "8位"}, {"停止位", "1位"}};
    for (const auto& c : combos)
        EXPECT_EQ(In(main, ATSPI_ROLE_COMBO_BOX, {}, c.what).Name(), c.reads);
    const struct {
        std::string name;
        bool checked;
    } boxes[] = {{"十六进制显示", true},
                 {"十六进制发送", true},
                 {"加入时间戳", false},
                 {"保存数据", false},
                 {"循环发送", false}};
    for (const auto& b : boxes) {
        EXPECT_EQ(In(main, ATSPI_ROLE_CHECK_BOX, b.name).Has(ATSPI_STATE_CHECKED), b.checked)
            << b.name;
    }
    EXPECT_EQ(Lamp().Description(), "串口已关闭");
    const Accessible page = Advanced("发送");
    EXPECT_EQ(In(page, ATSPI_ROLE_COMBO_BOX, {}, "行尾").Name(), "无");
    EXPECT_FALSE(In(page, ATSPI_ROLE_CHECK_BOX, "回显").Has(ATSPI_STATE_CHECKED));
    EXPECT_EQ(In(page, ATSPI_ROLE_SPIN_BUTTON, "字符间隔（毫秒）").Text(), "0 ms");
    Screenshot("start-state");

    Activate(main);
    OpenPort();
    DeviceWrites("12345");
    ASSERT_TRUE(SendArea().SetText("41 42 43"));
    Press(main, "发 送");
    EXPECT_EQ(DeviceReads(3), "ABC");
    EXPECT_TRUE(WaitUntil([&] { return In(main, ATSPI_ROLE_LABEL, {}, "RX:").Name() == "5"; }));
    EXPECT_TRUE(WaitUntil([&] { return In(main, ATSPI_ROLE_LABEL, {}, "TX:").Name() == "3"; }));
    EXPECT_TRUE(ReceiveAreaReads("31 32 33 34 35 "));
    Screenshot("counters");
}

// The machine's UART, opened through the window: DTR and RTS set on the 线路控制 page, and
// its reset pulse, read back through a descriptor of the test's own, and the lamps say what
// the driver reports.
// Nothing is written to the UART; its settings are the window's only while it is open.
class RealUartOverAtspi : public WindowOverAtspi {
protected:
    static constexpr const char* kUart = "/dev/ttyS0";
    RealUartOverAtspi() : WindowOverAtspi(kUart) {}
    void SetUp() override {
        uart = open(kUart, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (uart < 0) GTEST_SKIP() << "no UART to drive: " << kUart << ": " << strerror(errno);
        if (int e = GetTtyModemStatus(uart, before))
            GTEST_SKIP() << kUart << " has no modem lines: " << strerror(e);
        ASSERT_EQ(ioctl(uart, TCGETS2, &settings), 0);
        WindowOverAtspi::SetUp();
    }
    void TearDown() override {
        if (uart < 0) return;
        WindowOverAtspi::TearDown();
        SetTtyModemLine(uart, ModemLine::Dtr, before.dtr);
        SetTtyModemLine(uart, ModemLine::Rts, before.rts);
        close(uart);
    }
    ModemStatus Lines() {
        ModemStatus now;
        EXPECT_EQ(GetTtyModemStatus(uart, now), 0);
        return now;
    }

    int uart = -1;
    ModemStatus before;
    termios2 settings{};
};

TEST_F(RealUartOverAtspi, DtrAndRtsFollowTheBoxesAndTheLampsReadWhatTheDriverReports) {
    OpenPort();
    const Accessible page = Advanced("线路控制");
    // Read only after the port is open: the driver's own lines, as the window shows them.
    const ModemStatus open = Lines();
    EXPECT_TRUE(open.dtr && open.rts);  // on at open, as the window always did
    const struct {
        const char* name;
        bool lit;
    } lamps[] = {{"CTS", open.cts}, {"DSR", open.dsr}, {"DCD", open.dcd}, {"RI", open.ri}};
    for (const auto& lamp : lamps) {
        const std::string reads = std::string(lamp.name) + (lamp.lit ? "：开" : "：关");
        EXPECT_TRUE(In(page, ATSPI_ROLE_LABEL, reads)) << reads;
    }
    const struct {
        const char* box;
        bool on;
        bool dtr, rts;
    } steps[] = {{"DTR", false, false, true},
                 {"RTS", false, false, false},
                 {"DTR", true, true, false},
                 {"RTS", true, true, true}};
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.box) + (step.on ? " on" : " off"));
        SetChecked(page, ATSPI_ROLE_CHECK_BOX, step.box, step.on);
        EXPECT_TRUE(WaitUntil([&] {
            const ModemStatus now = Lines();
            return now.dtr == step.dtr && now.rts == step.rts;
        }));
    }
    // The reset pulse: DTR drops for its 100 ms and comes back.
    Press(page, "发送脉冲");
    EXPECT_TRUE(WaitUntil([&] { return !Lines().dtr; })) << "the pulse never reached the line";
    EXPECT_TRUE(WaitUntil([&] { return Lines().dtr; }));
    EXPECT_TRUE(Lines().rts);
    Screenshot("real-uart-lines");
    Activate(main);
    Press(main, "关   闭");
    ASSERT_TRUE(WaitUntil([&] { return Lamp().Description() == "串口已关闭"; }));
    termios2 after{};
    ASSERT_EQ(ioctl(uart, TCGETS2, &after), 0);
    EXPECT_EQ(after.c_cflag, settings.c_cflag) << "the UART's settings are put back";
    EXPECT_EQ(after.c_iflag, settings.c_iflag);
    EXPECT_EQ(after.c_lflag, settings.c_lflag);
    EXPECT_EQ(after.c_ospeed, settings.c_ospeed);
}

}  // namespace
