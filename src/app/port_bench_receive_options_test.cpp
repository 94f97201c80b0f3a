// The "接收" page through the real dialog: text encodings on bytes written at a
// pseudo-terminal's device end, and the log directory.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"
#include "test/find_control.h"
#include "test/qt_wait.h"
#include "ui/receive_page.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kUtf8 = {0xE4, 0xB8, 0xAD, 0xE6, 0x96, 0x87, 0xE6, 0xB5, 0x8B, 0xE8, 0xAF, 0x95};
const Bytes kGb18030 = {0xD6, 0xD0, 0xCE, 0xC4, 0xB2, 0xE2, 0xCA, 0xD4};

class ReceiveOptions : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir / "default");
        Click("IDC_BTN_OPEN");
        ASSERT_TRUE(dlg.IsPortOpen());
        Click("IDC_CHK_HEXSHOW");  // text display
    }
    void TearDown() override { fs::remove_all(dir); }

    void Click(const char* name) {
        QTest::mouseClick(FindControl<QAbstractButton>(dlg, name), Qt::LeftButton);
    }
    QString Area() {
        auto* view = FindControl<ReceiveView>(dlg, "IDC_EDIT_RX");
        return view->Text(0, view->Length());
    }
    uint32_t RxCount() { return FindControl<QLabel>(dlg, "IDC_TXT_RXCOUNT")->text().toUInt(); }
    // Each part a batch of its own: the next is written once the dialog has counted one.
    void Receive(const std::vector<Bytes>& parts) {
        for (const Bytes& bytes : parts) {
            const uint32_t before = RxCount();
            ASSERT_TRUE(pty.Write(bytes));
            ASSERT_TRUE(QtWaitUntil([&] { return RxCount() == before + bytes.size(); }));
        }
    }
    std::string Log(const fs::path& in) {
        std::ifstream file(in / "rxLOG_2009-03-30.log", std::ios::binary);
        std::stringstream s;
        s << file.rdbuf();
        return s.str();
    }

    fs::path dir = fs::temp_directory_path() / ("corvala-rxopt-" + std::to_string(::getpid()));
    PtyPair pty;
    CPortBenchDlg dlg{{.extraPorts = {pty.SlavePath()},
                       .sysfsRoot = "/nonexistent",
                       .clock = [] { return UtcTime{2009, 3, 30, 8, 5, 7, 45}; },
                       .logDirectory = (dir / "default").string()}};
    CReceivePage* page = FindControl<CReceivePage>(dlg, "receivePage");
};

TEST_F(ReceiveOptions, ACharacterCutBetweenTwoBatchesReadsWholeInEachEncoding) {
    struct Case {
        const char* button;
        Bytes bytes;
        size_t cut;  // inside the second character
    };
    for (const Case& c : {Case{"rbUtf8", kUtf8, 4}, Case{"rbGb18030", kGb18030, 3}}) {
        QTest::mouseClick(FindControl<QRadioButton>(dlg, c.button), Qt::LeftButton);
        Click("IDC_BTN_CLEAR_RX");
        Receive({Bytes(c.bytes.begin(), c.bytes.begin() + c.cut),
                 Bytes(c.bytes.begin() + c.cut, c.bytes.end())});
        EXPECT_EQ(Area(), QStringLiteral("中文测试")) << c.button;
    }
}

TEST_F(ReceiveOptions, TheDefaultShowsEachByteAsOneCharacter) {
    ASSERT_TRUE(FindControl<QRadioButton>(dlg, "rbBytes")->isChecked());
    Receive({Bytes(kUtf8.begin(), kUtf8.begin() + 4), Bytes(kUtf8.begin() + 4, kUtf8.end())});
    EXPECT_EQ(Area(), QString::fromLatin1(reinterpret_cast<const char*>(kUtf8.data()),
                                          static_cast<qsizetype>(kUtf8.size())));
}

// The log keeps the bytes as they came, and a stamp stands only between whole characters:
// a character's first bytes wait for the batch that completes it.
TEST_F(ReceiveOptions, AStampNeverCutsACharacterInTheLog) {
    QTest::mouseClick(FindControl<QRadioButton>(dlg, "rbUtf8"), Qt::LeftButton);
    Click("IDC_CHK_TIMESTAMP");
    Click("IDC_CHK_SAVE");
    Receive({{0x41, 0xE4, 0xB8}, {0xAD}});
    const std::string stamp = "\r\r\n2009-03-30 08:05:07.045\r\r\n";
    EXPECT_EQ(Log(dir / "default"), stamp + "A\r\r\n" + stamp + "\xE4\xB8\xAD\r\r\n");
}

// A character the stream never finished (the port closed, or the device went) is no
// character: its bytes still reach the log as they came, and the area shows them as invalid.
TEST_F(ReceiveOptions, ACharacterLeftUnfinishedWhenThePortClosesIsStillLoggedAndShown) {
    QTest::mouseClick(FindControl<QRadioButton>(dlg, "rbUtf8"), Qt::LeftButton);
    Click("IDC_CHK_SAVE");
    Receive({{0x41, 0xE4, 0xB8}});
    Click("IDC_BTN_OPEN");
    EXPECT_EQ(Log(dir / "default"), "A\xE4\xB8");

    Click("IDC_CHK_SAVE");
    Click("IDC_BTN_CLEAR_RX");
    Click("IDC_BTN_OPEN");
    Receive({{0x42, 0xE4}});
    Click("IDC_BTN_OPEN");
    EXPECT_EQ(Area(), QStringLiteral("B\uFFFD"));
}

// Ending the window ends the stream too.
TEST_F(ReceiveOptions, ACharacterLeftUnfinishedWhenTheWindowEndsIsStillLogged) {
    QTest::mouseClick(FindControl<QRadioButton>(dlg, "rbUtf8"), Qt::LeftButton);
    Click("IDC_CHK_SAVE");
    Receive({{0x41, 0xE4}});
    dlg.reject();
    EXPECT_EQ(Log(dir / "default"), "A\xE4");
}

// A batch that holds only the start of a character shows nothing yet, so it gets no stamp
// and no line of its own: the character is stamped once, with the batch that completes it.
TEST_F(ReceiveOptions, ABatchThatOnlyStartsACharacterIsNeitherStampedNorWrapped) {
    QTest::mouseClick(FindControl<QRadioButton>(dlg, "rbUtf8"), Qt::LeftButton);
    Click("IDC_CHK_TIMESTAMP");
    Receive({{0xE4}, {0xB8, 0xAD}});
    EXPECT_EQ(Area(), QStringLiteral("\r\n2009-03-30 08:05:07.045\r\n中\r\n"));

    Click("IDC_CHK_TIMESTAMP");
    Click("IDC_CHK_WRAP");
    Click("IDC_BTN_CLEAR_RX");
    Receive({{0xE4}, {0xB8, 0xAD}});
    EXPECT_EQ(Area(), QStringLiteral("中\r\n"));
}

TEST_F(ReceiveOptions, TheChosenLogDirectoryTakesTheLogAndTheNoticeNamesIt) {
    const fs::path chosen = dir / "chosen" / "logs";  // made when chosen
    page->ChooseLogDirectory(QString::fromStdString(chosen.string()));
    EXPECT_EQ(FindControl<QLineEdit>(*page, "editLogDir")->text().toStdString(), chosen.string());
    Click("IDC_CHK_SAVE");
    EXPECT_EQ(Area(),
              QStringLiteral("数据保存在：\r\n") + QString::fromStdString(chosen.string()) + '/');
    auto* area = FindControl<ReceiveView>(dlg, "IDC_EDIT_RX");
    EXPECT_TRUE(area->toolTip().contains(
        QString::fromStdString((chosen / "rxLOG_2009-03-30.log").string())));
    Receive({{0x41, 0x42}});
    EXPECT_EQ(Log(chosen), "AB");

    // Back to the default while saving: the notice follows, and so does the log.
    QTest::mouseClick(FindControl<QAbstractButton>(*page, "btnDefaultLogDir"), Qt::LeftButton);
    EXPECT_EQ(FindControl<QLineEdit>(*page, "editLogDir")->text().toStdString(),
              (dir / "default").string());
    EXPECT_TRUE(Area().endsWith(QString::fromStdString((dir / "default").string()) + '/'));
    Receive({{0x43}});
    EXPECT_EQ(Log(dir / "default"), "C");
    EXPECT_EQ(Log(chosen), "AB");
    Click("IDC_CHK_SAVE");
    EXPECT_EQ(area->toolTip(), "");
}

TEST_F(ReceiveOptions, ADirectoryNoLogCanBeWrittenToIsRefusedAndSaysWhy) {
    std::ofstream(dir / "file") << "x";
    const QString wanted = QString::fromStdString((dir / "file" / "logs").string());
    page->ChooseLogDirectory(wanted);
    const QString told = FindControl<QLabel>(dlg, "lblStatus")->text();
    EXPECT_TRUE(told.contains(wanted)) << told.toStdString();
    EXPECT_EQ(FindControl<QLineEdit>(*page, "editLogDir")->text().toStdString(),
              (dir / "default").string());
}

}  // namespace
