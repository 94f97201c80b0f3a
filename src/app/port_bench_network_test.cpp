// Network ports through the real dialog, against Debian's ser2net serving a pseudo-terminal,
// and against plain sockets that play a server which drops or never answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "app/port_bench_dlg.h"
#include "app/port_opener.h"
#include "receive/chunk.h"
#include "receive/receive_view.h"
#include "serial/network_port.h"
#include "serial/pty_pair.h"
#include "test/message_box_recorder.h"
#include "test/qt_wait.h"
#include "test/ser2net_server.h"
#include "test/thread_count.h"

namespace fs = std::filesystem;

namespace {

// The port's threads and the opener's still alive in this process.
int PortThreads() {
    return ThreadsNamed({"corvala-rx", "corvala-tx", "corvala-modem", "corvala-connect"});
}

std::vector<uint8_t> AllByteValues() {
    std::vector<uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

// A TCP server on localhost that accepts only when asked and says nothing by itself: a server
// that never negotiates, or one whose connection the test cuts.
class QuietServer {
public:
    explicit QuietServer(uint16_t port = 0)
        : m_listen(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const int on = 1;
        setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (bind(m_listen, reinterpret_cast<sockaddr*>(&a), length) != 0 ||
            listen(m_listen, 4) != 0)
            ADD_FAILURE() << "cannot listen on port " << port;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &length);
        m_port = ntohs(a.sin_port);
    }
    ~QuietServer() {
        if (m_peer >= 0) close(m_peer);
        close(m_listen);
    }
    uint16_t Port() const { return m_port; }
    // Takes the next connection, running the window meanwhile.
    bool Accept() {
        pollfd p{m_listen, POLLIN, 0};
        if (!QtWaitUntil([&] { return poll(&p, 1, 0) > 0; })) return false;
        if (m_peer >= 0) close(m_peer);
        m_peer = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        return m_peer >= 0;
    }
    // Cuts the connection taken last, as a server that hangs up on its client.
    void Drop() {
        close(m_peer);
        m_peer = -1;
    }
    // Cuts it with a reset, as a server that crashed or a firewall that forgot it.
    void Reset() {
        const linger now{1, 0};
        setsockopt(m_peer, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        Drop();
    }
    bool Send(const std::string& bytes) {
        return write(m_peer, bytes.data(), bytes.size()) == ssize_t(bytes.size());
    }

private:
    int m_listen;
    int m_peer = -1;
    uint16_t m_port = 0;
};

class NetworkPorts : public ::testing::Test {
protected:
    void SetUp() override {
        if (Ser2netServer::Binary().empty())
            GTEST_SKIP() << "ser2net is not installed (apt install ser2net)";
    }
    void TearDown() override {
        dlg.reset();
        EXPECT_TRUE(QtWaitUntil([] { return PortThreads() == 0; }))
            << PortThreads() << " threads left";
        fs::remove_all(dir);
    }
    CPortBenchDlg& Start(std::vector<std::string> ports) {
        fs::create_directories(dir);
        if (dlg) dlg->reject();  // the user ends the previous run first
        dlg = std::make_unique<CPortBenchDlg>(
            DialogEnvironment{.extraPorts = std::move(ports),
                              .sysfsRoot = "/nonexistent",
                              .settingsFile = (dir / "corvala.conf").string()});
        return *dlg;
    }
    template <typename T>
    T* Get(const char* name) {
        return dlg->findChild<T*>(QString::fromUtf8(name));
    }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    QString Area() {
        auto* view = Get<ReceiveView>("IDC_EDIT_RX");
        return view->Text(0, view->Length());
    }
    QString Lamp() { return Get<QLabel>("IDC_LAMP")->accessibleDescription(); }
    void OpenAndWait() {
        Click("IDC_BTN_OPEN");
        ASSERT_TRUE(QtWaitUntil(
            [&] { return Lamp() == QStringLiteral("串口已打开") || !boxes.Texts().isEmpty(); }));
        ASSERT_EQ(boxes.Texts(), QStringList{});
    }

    PtyPair pty;
    Ser2netServer server{pty.SlavePath(), Ser2netServer::Kind::Rfc2217};
    MessageBoxRecorder boxes;
    fs::path dir = fs::temp_directory_path() / ("corvala-net-" + std::to_string(getpid()));
    std::unique_ptr<CPortBenchDlg> dlg;
};

TEST_F(NetworkPorts, EveryByteValueCrossesBothWaysExactly) {
    Start({server.Url()});
    auto* list = Get<QComboBox>("IDC_COMBO_PORT");
    EXPECT_EQ(list->currentText().toStdString(), server.Url());
    EXPECT_EQ(list->toolTip(),
              QStringLiteral("网络串口（RFC 2217）：127.0.0.1:%1").arg(server.Port()));
    OpenAndWait();

    const std::vector<uint8_t> all = AllByteValues();
    ASSERT_TRUE(pty.Write(all));
    const QString expected = QString::fromStdString(BuildChunk(all, true));
    EXPECT_TRUE(QtWaitUntil([&] { return Area().size() >= expected.size(); }));
    EXPECT_EQ(Area(), expected);

    Get<QPlainTextEdit>("IDC_EDIT_TX")->setPlainText(expected);
    Click("IDC_BTN_SEND");
    EXPECT_EQ(pty.Read(all.size(), std::chrono::seconds(5)),
              all);  // the writer needs no event loop
}

TEST_F(NetworkPorts, TheLineChosenInTheWindowReachesTheDevice) {
    Start({server.Url()});
    Get<QComboBox>("IDC_COMBO_BAUD")->setCurrentText("57600");
    Get<QComboBox>("IDC_COMBO_STOPBITS")->setCurrentText(QStringLiteral("2位"));
    OpenAndWait();
    termios t{};
    ASSERT_EQ(tcgetattr(pty.MasterFd(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B57600);
    EXPECT_TRUE(t.c_cflag & CSTOPB);
}

TEST_F(NetworkPorts, AServerKilledMidFloodIsAnUnplug) {
    Start({server.Url()});
    OpenAndWait();
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        const std::vector<uint8_t> chunk(4096, 0x55);
        while (!stop && pty.Write(chunk, std::chrono::milliseconds(200))) {
        }
    });
    EXPECT_TRUE(QtWaitUntil([&] { return Area().size() > 30000; }));
    server.Kill();
    EXPECT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
    stop = true;
    flood.join();
    ASSERT_EQ(boxes.Texts().size(), 1);  // its cause depends on what the server left unread
    EXPECT_TRUE(boxes.Texts()[0].startsWith(
        QStringLiteral("串口%1已断开！\n").arg(QString::fromStdString(server.Url()))));
    EXPECT_FALSE(dlg->IsPortOpen());
    EXPECT_TRUE(QtWaitUntil([] { return PortThreads() == 0; }));  // nothing left spinning
}

TEST_F(NetworkPorts, APortNobodyServesIsRefusedInTheUsersWords) {
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(Ser2netServer::FreePort());
    Start({url});
    Click("IDC_BTN_OPEN");
    ASSERT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(
        boxes.Texts()[0],
        QStringLiteral("打开%1失败！\n服务器拒绝连接：该端口上没有服务。\n（系统：%2）")
            .arg(QString::fromStdString(url), QString::fromLocal8Bit(strerror(ECONNREFUSED))));
    EXPECT_FALSE(dlg->IsPortOpen());
    EXPECT_EQ(Get<QPushButton>("IDC_BTN_OPEN")->text(), QStringLiteral("开   启"));
}

TEST_F(NetworkPorts, CloseEndsAConnectToAServerThatNeverNegotiatesAtOnce) {
    QuietServer quiet;
    Start({"rfc2217://127.0.0.1:" + std::to_string(quiet.Port())});
    Click("IDC_BTN_OPEN");
    ASSERT_TRUE(quiet.Accept());  // connected; the negotiation now waits for an answer
    EXPECT_TRUE(dlg->IsPortOpen());
    EXPECT_EQ(Get<QPushButton>("IDC_BTN_OPEN")->text(), QStringLiteral("关   闭"));
    EXPECT_EQ(Lamp(), QStringLiteral("正在连接…"));

    const auto before = std::chrono::steady_clock::now();
    Click("IDC_BTN_OPEN");
    EXPECT_LT(std::chrono::steady_clock::now() - before, NetworkPort::kNegotiationLimit);
    EXPECT_FALSE(dlg->IsPortOpen());
    EXPECT_EQ(Lamp(), QStringLiteral("串口已关闭"));
    EXPECT_EQ(PortThreads(), 0);
    QTest::qWait(0);
    EXPECT_EQ(boxes.Texts(), QStringList{});  // a cancel is no failure
}

TEST_F(NetworkPorts, ADroppedConnectionIsRetriedUntilTheServerIsBack) {
    auto quiet = std::make_unique<QuietServer>();
    const uint16_t port = quiet->Port();
    Start({"tcp://127.0.0.1:" + std::to_string(port)});
    Get<QCheckBox>("IDC_CHK_RECONNECT")->click();
    OpenAndWait();
    ASSERT_TRUE(quiet->Accept());
    ASSERT_TRUE(quiet->Send("A"));
    EXPECT_TRUE(QtWaitUntil([&] { return Area() == "41 "; }));

    quiet.reset();  // the server goes: the connection drops and nothing listens
    EXPECT_TRUE(QtWaitUntil([&] { return Area().contains(QStringLiteral("串口已断开")); }));
    EXPECT_TRUE(dlg->IsPortOpen());
    EXPECT_EQ(Lamp(), QStringLiteral("正在重新连接…"));
    quiet = std::make_unique<QuietServer>(port);
    ASSERT_TRUE(quiet->Accept());
    EXPECT_TRUE(QtWaitUntil([&] { return Area().contains(QStringLiteral("串口已重新连接")); }));
    ASSERT_TRUE(QtWaitUntil([&] { return Lamp() == QStringLiteral("串口已打开"); }));
    ASSERT_TRUE(quiet->Send("B"));
    EXPECT_TRUE(QtWaitUntil([&] { return Area().endsWith("42 "); }));
    EXPECT_EQ(boxes.Texts(), QStringList{});
}

// A server that takes each connection and hangs up at once (one serving someone else, or two
// windows each taking the port from the other): the retries keep their pace.
TEST_F(NetworkPorts, AServerThatHangsUpOnEveryConnectionIsRetriedEveryPeriodNotAtOnce) {
    QuietServer quiet;
    Start({"tcp://127.0.0.1:" + std::to_string(quiet.Port())});
    Get<QCheckBox>("IDC_CHK_RECONNECT")->click();
    OpenAndWait();
    ASSERT_TRUE(quiet.Accept());
    for (int drop = 0; drop < 2; ++drop) {
        const auto dropped = std::chrono::steady_clock::now();
        quiet.Drop();
        ASSERT_TRUE(quiet.Accept());
        EXPECT_GE(std::chrono::steady_clock::now() - dropped, PortOpener::kRetryPeriod);
    }
    EXPECT_EQ(boxes.Texts(), QStringList{});
}

TEST_F(NetworkPorts, ARawTcpPortLeavesTheLineToTheFarEnd) {
    Start({server.Url(Ser2netServer::Kind::RawTcp), pty.SlavePath()});
    auto* list = Get<QComboBox>("IDC_COMBO_PORT");
    EXPECT_EQ(list->toolTip(), QStringLiteral("网络端口（TCP）：127.0.0.1:%1").arg(server.Port()));
    for (const char* name :
         {"IDC_COMBO_BAUD", "IDC_COMBO_PARITY", "IDC_COMBO_DATABITS", "IDC_COMBO_STOPBITS"}) {
        EXPECT_FALSE(Get<QComboBox>(name)->isEnabled()) << name;
        EXPECT_TRUE(
            Get<QComboBox>(name)->accessibleDescription().contains(QStringLiteral("由远端决定")))
            << name;
    }
    OpenAndWait();
    Click("IDC_BTN_OPEN");
    EXPECT_FALSE(Get<QComboBox>("IDC_COMBO_BAUD")->isEnabled());  // closing does not give them back

    list->setCurrentIndex(list->findText(QString::fromStdString(pty.SlavePath())));
    for (const char* name :
         {"IDC_COMBO_BAUD", "IDC_COMBO_PARITY", "IDC_COMBO_DATABITS", "IDC_COMBO_STOPBITS"}) {
        EXPECT_TRUE(Get<QComboBox>(name)->isEnabled()) << name;
        EXPECT_FALSE(
            Get<QComboBox>(name)->accessibleDescription().contains(QStringLiteral("由远端决定")))
            << name;
    }
}

TEST_F(NetworkPorts, APortAddedOnTheConnectionPageIsCheckedListedAndRemembered) {
    Start({});
    struct Case {
        const char* host;
        const char* port;
        QString said;
    };
    for (const Case& c :
         {Case{"", "2001", QStringLiteral("请输入服务器的主机名或 IP 地址。")},
          Case{"127.0.0.1", "70000", QStringLiteral("端口号必须是 1 到 65535 之间的整数。")},
          Case{"127.0.0.1", "", QStringLiteral("端口号必须是 1 到 65535 之间的整数。")},
          Case{"my host", "2001", QStringLiteral("“my host”不是有效的主机名或 IP 地址。")}}) {
        Get<QLineEdit>("IDC_EDIT_NET_HOST")->setText(c.host);
        Get<QLineEdit>("IDC_EDIT_NET_PORT")->setText(c.port);
        Click("IDC_BTN_NET_ADD");
        EXPECT_EQ(Get<QLabel>("IDC_TXT_NET_RESULT")->text(), c.said) << c.host << ":" << c.port;
        EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PORT")->count(), 0);
    }

    Get<QLineEdit>("IDC_EDIT_NET_HOST")->setText("127.0.0.1");
    Get<QLineEdit>("IDC_EDIT_NET_PORT")->setText(QString::number(server.Port()));
    Click("IDC_BTN_NET_ADD");
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PORT")->currentText().toStdString(), server.Url());
    Get<QComboBox>("IDC_COMBO_NET_KIND")->setCurrentIndex(1);
    Get<QLineEdit>("IDC_EDIT_NET_HOST")->setText("[::1]");
    Click("IDC_BTN_NET_ADD");
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PORT")->currentText(),
              QStringLiteral("tcp://[::1]:%1").arg(server.Port()));
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PORT")->toolTip(),
              QStringLiteral("网络端口（TCP）：[::1]:%1").arg(server.Port()));

    // The added port opens like any other.
    Get<QComboBox>("IDC_COMBO_PORT")->setCurrentIndex(0);
    OpenAndWait();
    Click("IDC_BTN_OPEN");

    Get<QCheckBox>("IDC_CHK_REMEMBER")->click();
    Start({});
    auto* list = Get<QComboBox>("IDC_COMBO_PORT");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), QStringLiteral("tcp://[::1]:%1").arg(server.Port()));
    EXPECT_EQ(list->currentText().toStdString(), server.Url());  // the remembered choice
}

// Without 断线自动重连 the loss is told with its cause: the server's close or the network's error.
TEST_F(NetworkPorts, ALostConnectionIsToldWithItsCause) {
    struct Case {
        void (QuietServer::*cut)();
        QString why;
    };
    const QString reset = QString::fromLocal8Bit(strerror(ECONNRESET));
    for (const Case& c :
         {Case{&QuietServer::Drop, QStringLiteral("服务器关闭了连接。")},
          Case{&QuietServer::Reset,
               QStringLiteral("网络错误，连接已中断。\n（系统：%1）").arg(reset)}}) {
        QuietServer quiet;
        const std::string url = "tcp://127.0.0.1:" + std::to_string(quiet.Port());
        Start({url});
        OpenAndWait();
        ASSERT_TRUE(quiet.Accept());
        (quiet.*c.cut)();
        ASSERT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
        EXPECT_EQ(boxes.Texts(),
                  QStringList{QStringLiteral("串口%1已断开！\n").arg(QString::fromStdString(url)) +
                              c.why});
        boxes.Clear();
    }
}

TEST_F(NetworkPorts, TheConnectionPageListsTheAddedPortsAndDeleteTakesOneOff) {
    Start({});
    const QString rfc2217 = QString::fromStdString(server.Url());
    const QString tcp = QStringLiteral("tcp://127.0.0.1:%1").arg(server.Port());
    Get<QLineEdit>("IDC_EDIT_NET_HOST")->setText("127.0.0.1");
    Get<QLineEdit>("IDC_EDIT_NET_PORT")->setText(QString::number(server.Port()));
    Click("IDC_BTN_NET_ADD");
    Get<QComboBox>("IDC_COMBO_NET_KIND")->setCurrentIndex(1);
    Click("IDC_BTN_NET_ADD");
    auto* ports = Get<QComboBox>("IDC_COMBO_PORT");
    auto listed = [&] {
        QStringList items;
        auto* added = Get<QListWidget>("IDC_LIST_NET_PORTS");
        for (int i = 0; i < added->count(); ++i) items << added->item(i)->text();
        return items;
    };
    EXPECT_EQ(listed(), (QStringList{rfc2217, tcp}));

    // The port in use stays until it is closed.
    ports->setCurrentIndex(ports->findText(rfc2217));
    OpenAndWait();
    Get<QListWidget>("IDC_LIST_NET_PORTS")->setCurrentRow(0);
    Click("IDC_BTN_NET_REMOVE");
    EXPECT_EQ(listed(), (QStringList{rfc2217, tcp}));
    EXPECT_TRUE(Get<QLabel>("lblStatus")->text().contains(QStringLiteral("关闭后才能删除")));
    Click("IDC_BTN_OPEN");
    Click("IDC_BTN_NET_REMOVE");
    EXPECT_EQ(listed(), QStringList{tcp});
    EXPECT_EQ(ports->findText(rfc2217), -1);
    EXPECT_EQ(ports->currentText(), tcp);
    EXPECT_EQ(Get<QListWidget>("IDC_LIST_NET_PORTS")->currentRow(), 0);  // the next one is at hand

    Get<QCheckBox>("IDC_CHK_REMEMBER")->click();
    Start({});
    EXPECT_EQ(listed(), QStringList{tcp});
    Click("IDC_BTN_NET_REMOVE");
    EXPECT_EQ(Get<QComboBox>("IDC_COMBO_PORT")->count(), 0);
    EXPECT_FALSE(Get<QPushButton>("IDC_BTN_NET_REMOVE")->isEnabled());
}

}  // namespace
