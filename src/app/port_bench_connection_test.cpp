// Remembered settings through the real dialog: what one run sets, the next start shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/port_bench_dlg.h"
#include "receive/receive_view.h"
#include "serial/pty_pair.h"
#include "test/fake_sysfs.h"
#include "test/message_box_recorder.h"
#include "test/qt_wait.h"

namespace fs = std::filesystem;

namespace {

class RememberedSettingsTest : public ::testing::Test {
protected:
    RememberedSettingsTest() {
        sysfs.AddTty("ttyS4", "platform/serial8250.4", "platform/drivers/serial8250", 4);
        sysfs.AddTty("ttyUSB0", "usb1/1-2/1-2:1.0/ttyUSB0", "usb-serial/drivers/ftdi_sio");
        fs::create_directories(dir);
    }
    ~RememberedSettingsTest() override { fs::remove_all(dir); }

    // A start of the program; the previous one ends first, as the user closes it.
    CPortBenchDlg& Start(std::vector<std::string> commandLine = {}) {
        if (dlg) dlg->reject();
        dlg =
            std::make_unique<CPortBenchDlg>(DialogEnvironment{.extraPorts = std::move(commandLine),
                                                              .sysfsRoot = sysfs.Root().string(),
                                                              .settingsFile = file.toStdString()});
        return *dlg;
    }
    QString Area() {
        auto* view = Get<ReceiveView>("IDC_EDIT_RX");
        return view->Text(0, view->Length());
    }
    template <typename T>
    T* Get(const char* name) {
        return dlg->findChild<T*>(QString::fromUtf8(name));
    }
    bool Checked(const char* name) { return Get<QCheckBox>(name)->isChecked(); }
    QString Text(const char* name) {
        if (auto* combo = Get<QComboBox>(name)) return combo->currentText();
        return Get<QLineEdit>(name)->text();
    }
    void Click(const char* name) { QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton); }
    void Choose(const char* name, const QString& text) {
        Get<QComboBox>(name)->setCurrentIndex(Get<QComboBox>(name)->findText(text));
    }
    void ExpectStartUpState() {
        EXPECT_EQ(Text("IDC_COMBO_PORT"), "/dev/ttyS4");
        EXPECT_EQ(Text("IDC_COMBO_BAUD"), "9600");
        EXPECT_EQ(Text("IDC_COMBO_PARITY"), "None");
        EXPECT_TRUE(Checked("IDC_CHK_HEXSHOW"));
        EXPECT_TRUE(Checked("IDC_CHK_HEXSEND"));
        EXPECT_FALSE(Checked("IDC_CHK_TIMESTAMP"));
        EXPECT_FALSE(Checked("IDC_CHK_CHAR_TS"));
        EXPECT_EQ(Text("IDC_EDIT_INTERVAL"), "1000");
        EXPECT_FALSE(Checked("IDC_CHK_RECONNECT"));
        EXPECT_FALSE(Checked("IDC_CHK_REMEMBER"));
    }

    FakeSysfs sysfs;
    fs::path dir = fs::temp_directory_path() / ("corvala-remember-" + std::to_string(::getpid()));
    QString file = QString::fromStdString((dir / "corvala.conf").string());
    std::unique_ptr<CPortBenchDlg> dlg;
};

TEST_F(RememberedSettingsTest, WhatTheUserSetComesBackOnlyWhileAsked) {
    Start();
    Choose("IDC_COMBO_PORT", "/dev/ttyUSB0");
    Choose("IDC_COMBO_BAUD", "115200");
    Choose("IDC_COMBO_PARITY", QStringLiteral("偶校验"));
    Choose("IDC_COMBO_STOPBITS", QStringLiteral("2位"));
    Click("IDC_CHK_TIMESTAMP");
    Click("IDC_CHK_CHAR_TS");
    QTest::keyClicks(Get<QLineEdit>("IDC_EDIT_TRIGGER"), "0d");
    Click("IDC_CHK_WRAP");
    Click("IDC_CHK_HEXSEND");
    Click("IDC_CHK_CYCLE");
    Get<QLineEdit>("IDC_EDIT_INTERVAL")->setText("250");  // typed, not yet taken
    Get<QCheckBox>("IDC_CHK_RECONNECT")->click();
    Start();
    ExpectStartUpState();  // not asked to remember: nothing was kept
    EXPECT_FALSE(fs::exists(dir / "corvala.conf"));

    Choose("IDC_COMBO_PORT", "/dev/ttyUSB0");
    Choose("IDC_COMBO_BAUD", "115200");
    Click("IDC_CHK_TIMESTAMP");
    Click("IDC_CHK_CHAR_TS");
    QTest::keyClicks(Get<QLineEdit>("IDC_EDIT_TRIGGER"), "0d");
    Click("IDC_CHK_HEXSEND");
    Click("IDC_CHK_CYCLE");
    Get<QLineEdit>("IDC_EDIT_INTERVAL")->setText("250");
    Get<QCheckBox>("IDC_CHK_RECONNECT")->click();
    Get<QCheckBox>("IDC_CHK_REMEMBER")->click();
    Start();
    EXPECT_EQ(Text("IDC_COMBO_PORT"), "/dev/ttyUSB0");
    EXPECT_EQ(Text("IDC_COMBO_BAUD"), "115200");
    EXPECT_TRUE(Checked("IDC_CHK_TIMESTAMP"));
    EXPECT_TRUE(Checked("IDC_CHK_CHAR_TS"));
    EXPECT_TRUE(Get<QLineEdit>("IDC_EDIT_TRIGGER")->isEnabled());
    EXPECT_EQ(Text("IDC_EDIT_TRIGGER"), "0d");
    EXPECT_FALSE(Checked("IDC_CHK_HEXSEND"));
    EXPECT_TRUE(Checked("IDC_CHK_CYCLE"));
    EXPECT_EQ(Text("IDC_EDIT_INTERVAL"), "250");
    EXPECT_TRUE(Checked("IDC_CHK_RECONNECT"));
    EXPECT_TRUE(Checked("IDC_CHK_REMEMBER"));

    Get<QCheckBox>("IDC_CHK_REMEMBER")->click();
    Start();
    ExpectStartUpState();
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).allKeys(), QStringList{"rememberSettings"});
}

TEST_F(RememberedSettingsTest, AFileThatMakesNoSenseIsToldOnceAndTheStartUpStateHolds) {
    std::ofstream(dir / "corvala.conf", std::ios::binary) << "\x7f"
                                                             "ELF\x02\x01\x01\xff\xfe[\n";
    MessageBoxRecorder boxes;
    Start();
    ASSERT_TRUE(QtWaitUntil([&] { return !boxes.Texts().isEmpty(); }));
    EXPECT_EQ(boxes.Texts().size(), 1);
    EXPECT_TRUE(boxes.Texts()[0].contains(file)) << boxes.Texts()[0].toStdString();
    ExpectStartUpState();
}

// A pseudo-terminal named on the command line is no discovered port: the next start without
// one still lists and chooses it while it exists, and says once that it has gone.
TEST_F(RememberedSettingsTest, APortOnlyTheCommandLineNamedComesBackWhileItExists) {
    PtyPair pty;
    const fs::path link = dir / "tty";  // a name that is gone for good once removed
    fs::create_symlink(pty.SlavePath(), link);
    const QString path = QString::fromStdString(link.string());
    Start({link.string()});
    Get<QCheckBox>("IDC_CHK_REMEMBER")->click();
    Start();
    EXPECT_EQ(Text("IDC_COMBO_PORT"), path);
    EXPECT_EQ(Area(), "");
    Start({"/dev/ttyUSB0"});  // the command line still wins
    EXPECT_EQ(Text("IDC_COMBO_PORT"), "/dev/ttyUSB0");
    EXPECT_GE(Get<QComboBox>("IDC_COMBO_PORT")->findText(path), 0);

    Start({link.string()});
    fs::remove(link);
    Start();
    EXPECT_EQ(Text("IDC_COMBO_PORT"), "/dev/ttyS4");
    EXPECT_EQ(Area().count(QStringLiteral("记住的串口%1不存在，已改选/dev/ttyS4").arg(path)), 1)
        << Area().toStdString();
}

}  // namespace
