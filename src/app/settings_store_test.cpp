#include "app/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSettings>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// The start-up state as the main window has it.
RememberedSettings StartUp() {
    RememberedSettings s;
    s.baud = 9600;
    s.dataBits = 8;
    s.hexShow = s.hexSend = true;
    s.interval = 1000;
    return s;
}

class SettingsStore : public ::testing::Test {
protected:
    ~SettingsStore() override { fs::remove_all(dir); }
    void Write(const std::string& text) {
        fs::create_directories(dir);
        std::ofstream(file.toStdString(), std::ios::binary) << text;
    }

    fs::path dir = fs::temp_directory_path() / ("corvala-settings-" + std::to_string(::getpid()));
    QString file = QString::fromStdString((dir / "corvala.conf").string());
};

TEST_F(SettingsStore, EverythingRememberedComesBackAndNothingElseIsKept) {
    RememberedSettings changed;  // every field away from the start-up state
    changed.port = "/dev/serial/by-id/usb-FTDI_FT232R_A502,port0";
    changed.baud = 115200;
    changed.parity = 4;
    changed.dataBits = 7;
    changed.stopBits = 1;
    changed.timestamp = changed.charTimestamp = changed.wrap = changed.cycle = true;
    changed.trigger = "0d";
    changed.interval = 4294967295u;
    changed.options = {.flow = FlowControl::XonXoff,
                       .dtrAtOpen = false,
                       .rtsAtOpen = false,
                       .customBaud = 921600,
                       .pulseLine = ModemLine::Rts,
                       .pulseMs = 5000,
                       .breakMs = 1,
                       .autoReconnect = true,
                       .rememberSettings = true};
    changed.options.textEncoding = TextEncoding::Gb18030;
    changed.options.logDirectory = "/var/log/设备 1";
    changed.options.lineEnding = LineEnding::CrLf;
    changed.options.charDelayMs = 1000;
    changed.options.echo = true;
    ASSERT_TRUE(SaveSettings(file, changed));
    RememberedSettings loaded = StartUp();
    EXPECT_TRUE(LoadSettings(file, loaded));
    EXPECT_TRUE(loaded == changed);

    // Unticked: only that is written, and the start-up state holds.
    changed.options.rememberSettings = false;
    ASSERT_TRUE(SaveSettings(file, changed));
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).allKeys(), QStringList{"rememberSettings"});
    loaded = StartUp();
    EXPECT_TRUE(LoadSettings(file, loaded));
    EXPECT_TRUE(loaded == StartUp());
}

TEST_F(SettingsStore, AUserWhoNeverAskedGetsNoFile) {
    RememberedSettings s = StartUp();
    EXPECT_TRUE(SaveSettings(file, s));
    EXPECT_FALSE(fs::exists(dir / "corvala.conf"));
    EXPECT_TRUE(LoadSettings(file, s));
    EXPECT_TRUE(s == StartUp());
}

TEST_F(SettingsStore, AFileThatMakesNoSenseChangesNothing) {
    for (const std::string& text : {
             std::string("\x7f"
                         "ELF\x02\x01\x01\0\0\xff\xfe[\n=\n",
                         15),
             std::string(), std::string("rememberSettings=yes\n[port]\nbaud=115200\n"),
             std::string("[port]\nbaud=115200\n"),  // not a file this program wrote
         }) {
        Write(text);
        RememberedSettings s = StartUp();
        EXPECT_FALSE(LoadSettings(file, s)) << text;
        EXPECT_TRUE(s == StartUp()) << text;
    }
    fs::remove_all(dir);
    fs::create_directories(dir / "corvala.conf");  // unreadable as a file, also for root
    RememberedSettings s = StartUp();
    EXPECT_FALSE(LoadSettings(file, s));
    EXPECT_TRUE(s == StartUp());
}

TEST_F(SettingsStore, EachValueThatDoesNotFitKeepsItsStartUpValueAlone) {
    Write(
        "[General]\nrememberSettings=true\n"
        "[port]\nbaud=12345\nparity=2\ndataBits=9\nstopBits=2\n"
        "[display]\nhex=0\ntrigger=0D0\ntimestamp=true\n"
        "[send]\ninterval=0\ncycle=true\nhex=a,b\nlineEnding=crcr\ncharDelayMs=1001\necho=true\n"
        "[advanced]\nflow=rtscts\npulseLine=cts\npulseMs=5001\nbreakMs=0\ncustomBaud=-1\n"
        "autoReconnect=true\n");
    RememberedSettings s = StartUp();
    EXPECT_FALSE(LoadSettings(file, s));
    RememberedSettings expected = StartUp();
    expected.parity = 2;
    expected.stopBits = 2;
    expected.timestamp = expected.cycle = true;
    expected.options.flow = FlowControl::RtsCts;
    expected.options.autoReconnect = expected.options.rememberSettings = true;
    expected.options.echo = true;
    EXPECT_TRUE(s == expected);
}

TEST_F(SettingsStore, AnUnknownEncodingOrALogDirectoryNotFromTheRootIsNotTaken) {
    for (const char* receive : {"encoding=latin9\n", "logDirectory=logs\n"}) {
        Write(std::string("[General]\nrememberSettings=true\n[receive]\n") + receive);
        RememberedSettings s = StartUp();
        EXPECT_FALSE(LoadSettings(file, s)) << receive;
        EXPECT_EQ(s.options.textEncoding, TextEncoding::Bytes) << receive;
        EXPECT_EQ(s.options.logDirectory, "") << receive;
    }
}

TEST_F(SettingsStore, ATriggerTheFieldWouldRefuseIsNoTrigger) {
    // Digits of other scripts are no hexadecimal digits.
    for (const char* trigger : {"\u0661\u0662", "\uff10"}) {
        Write(std::string("[General]\nrememberSettings=true\n[display]\ntrigger=") + trigger +
              "\n");
        RememberedSettings s = StartUp();
        EXPECT_FALSE(LoadSettings(file, s)) << trigger;
        EXPECT_EQ(s.trigger, StartUp().trigger) << trigger;
    }
}

}  // namespace
