#include "app/settings_store.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "serial/line_settings.h"
#include "serial/network_address.h"
#include "ui/decimal_field.h"

namespace {

template <typename T, size_t N>
using Names = std::array<std::pair<T, const char*>, N>;
constexpr Names<FlowControl, 3> kFlowNames{{{FlowControl::None, "none"},
                                            {FlowControl::RtsCts, "rtscts"},
                                            {FlowControl::XonXoff, "xonxoff"}}};
constexpr Names<ModemLine, 2> kLineNames{{{ModemLine::Dtr, "dtr"}, {ModemLine::Rts, "rts"}}};
constexpr Names<LineEnding, 4> kEndingNames{{{LineEnding::None, "none"},
                                             {LineEnding::Cr, "cr"},
                                             {LineEnding::Lf, "lf"},
                                             {LineEnding::CrLf, "crlf"}}};
constexpr Names<TextEncoding, 3> kEncodingNames{{{TextEncoding::Bytes, "bytes"},
                                                  {TextEncoding::Utf8, "utf-8"},
                                                  {TextEncoding::Gb18030, "gb18030"}}};

template <typename T, size_t N>
QString NameOf(T value, const Names<T, N>& names) {
    for (const auto& [v, name] : names) {
        if (v == value) return QString::fromLatin1(name);
    }
    return {};
}

std::optional<bool> ParseBool(const QString& text) {
    if (text == u"true") return true;
    if (text == u"false") return false;
    return std::nullopt;
}

auto UIntIn(uint32_t min, uint32_t max) {
    return [=](const QString& text) -> std::optional<uint32_t> {
        uint32_t value = 0;
        if (!ParseUInt32(text.toStdU16String(), value) || value < min || value > max)
            return std::nullopt;
        return value;
    };
}

// A value the list offers.
template <typename T>
auto ChoiceOf(const SettingList& list) {
    return [&list](const QString& text) -> std::optional<T> {
        uint32_t value = 0;
        if (!ParseUInt32(text.toStdU16String(), value)) return std::nullopt;
        for (const SettingChoice& c : list.choices) {
            if (static_cast<uint32_t>(c.value) == value) return static_cast<T>(value);
        }
        return std::nullopt;
    };
}

template <typename T, size_t N>
auto NameIn(const Names<T, N>& names) {
    return [&names](const QString& text) -> std::optional<T> {
        for (const auto& [value, name] : names) {
            if (text == QLatin1String(name)) return value;
        }
        return std::nullopt;
    };
}

std::optional<std::string> ParseText(const QString& text) { return text.toStdString(); }

// Empty (the default) or a path from the root, in the file system's encoding.
std::optional<std::string> ParseDirectory(const QString& text) {
    if (!text.isEmpty() && !text.startsWith(u'/')) return std::nullopt;
    return QFile::encodeName(text).toStdString();
}

// Network port addresses, one space between each.
std::optional<std::vector<std::string>> ParseNetworkPorts(const QString& text) {
    std::vector<std::string> ports;
    for (const QString& path : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!ParseNetworkAddress(path.toStdString())) return std::nullopt;
        ports.push_back(path.toStdString());
    }
    return ports;
}

std::optional<std::string> ParseTrigger(const QString& text) {
    const bool hex = text.size() <= 2 && std::all_of(text.begin(), text.end(), [](QChar c) {
                         return (c >= u'0' && c <= u'9') ||
                                (c.toUpper() >= u'A' && c.toUpper() <= u'F');
                     });
    if (!hex) return std::nullopt;
    return text.toStdString();
}

// Reads the file's values into fields. A missing key leaves its field alone (a file from
// before the key existed); a value that does not fit leaves it alone too, and is noted.
class Reader {
public:
    explicit Reader(const QSettings& file) : m_file(file) {}
    bool AllFit() const { return m_allFit; }

    template <typename T, typename Parse>
    void operator()(const char* key, T& field, Parse parse) {
        const QVariant value = m_file.value(QString::fromLatin1(key));
        if (!value.isValid()) return;
        // A text with an unquoted comma reads back as a list.
        const std::optional<T> parsed =
            value.typeId() == QMetaType::QString ? parse(value.toString()) : std::nullopt;
        if (parsed) {
            field = *parsed;
        } else {
            m_allFit = false;
        }
    }

private:
    const QSettings& m_file;
    bool m_allFit = true;
};

}  // namespace

QString SettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/corvala/corvala.conf");
}

bool LoadSettings(const QString& file, RememberedSettings& settings) {
    const QFileInfo info(file);
    if (!info.exists()) return true;  // the first start
    if (!info.isFile() || !info.isReadable()) return false;
    const QSettings store(file, QSettings::IniFormat);
    if (store.status() != QSettings::NoError) return false;
    Reader read(store);
    bool remember = false;
    read("rememberSettings", remember, ParseBool);
    // Every file this program writes says whether it remembers.
    if (!read.AllFit() || !store.contains(QStringLiteral("rememberSettings"))) return false;
    if (!remember) return true;

    RememberedSettings s = settings;
    s.options.rememberSettings = true;
    read("port/path", s.port, ParseText);
    read("port/network", s.networkPorts, ParseNetworkPorts);
    read("port/baud", s.baud, ChoiceOf<uint32_t>(kBaudList));
    read("port/parity", s.parity, ChoiceOf<int>(kParityList));
    read("port/dataBits", s.dataBits, ChoiceOf<int>(kDataBitsList));
    read("port/stopBits", s.stopBits, ChoiceOf<int>(kStopBitsList));
    read("display/hex", s.hexShow, ParseBool);
    read("display/timestamp", s.timestamp, ParseBool);
    read("display/triggerTimestamp", s.charTimestamp, ParseBool);
    read("display/trigger", s.trigger, ParseTrigger);
    read("display/wrap", s.wrap, ParseBool);
    read("send/hex", s.hexSend, ParseBool);
    read("send/cycle", s.cycle, ParseBool);
    read("send/interval", s.interval, UIntIn(1, UINT32_MAX));
    PortOptions& o = s.options;
    read("advanced/flow", o.flow, NameIn(kFlowNames));
    read("advanced/dtrAtOpen", o.dtrAtOpen, ParseBool);
    read("advanced/rtsAtOpen", o.rtsAtOpen, ParseBool);
    read("advanced/customBaud", o.customBaud, UIntIn(0, UINT32_MAX));
    read("advanced/pulseLine", o.pulseLine, NameIn(kLineNames));
    read("advanced/pulseMs", o.pulseMs, UIntIn(kMinControlMs, kMaxControlMs));
    read("advanced/breakMs", o.breakMs, UIntIn(kMinControlMs, kMaxControlMs));
    read("advanced/autoReconnect", o.autoReconnect, ParseBool);
    read("send/lineEnding", o.lineEnding, NameIn(kEndingNames));
    read("send/charDelayMs", o.charDelayMs, UIntIn(0, kMaxCharDelayMs));
    read("send/echo", o.echo, ParseBool);
    read("receive/encoding", o.textEncoding, NameIn(kEncodingNames));
    read("receive/logDirectory", o.logDirectory, ParseDirectory);
    settings = s;
    return read.AllFit();
}

bool SaveSettings(const QString& file, const RememberedSettings& settings) {
    const bool remember = settings.options.rememberSettings;
    if (!remember && !QFileInfo::exists(file)) return true;
    QSettings store(file, QSettings::IniFormat);
    store.clear();  // what is not remembered any more is not kept either
    auto put = [&store](const char* key, const QString& value) {
        store.setValue(QString::fromLatin1(key), value);
    };
    auto flag = [](bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); };
    put("rememberSettings", flag(remember));
    if (remember) {
        put("port/path", QString::fromStdString(settings.port));
        QStringList network;
        for (const std::string& path : settings.networkPorts) network << QString::fromStdString(path);
        put("port/network", network.join(u' '));
        put("port/baud", QString::number(settings.baud));
        put("port/parity", QString::number(settings.parity));
        put("port/dataBits", QString::number(settings.dataBits));
        put("port/stopBits", QString::number(settings.stopBits));
        put("display/hex", flag(settings.hexShow));
        put("display/timestamp", flag(settings.timestamp));
        put("display/triggerTimestamp", flag(settings.charTimestamp));
        put("display/trigger", QString::fromStdString(settings.trigger));
        put("display/wrap", flag(settings.wrap));
        put("send/hex", flag(settings.hexSend));
        put("send/cycle", flag(settings.cycle));
        put("send/interval", QString::number(settings.interval));
        const PortOptions& o = settings.options;
        put("advanced/flow", NameOf(o.flow, kFlowNames));
        put("advanced/dtrAtOpen", flag(o.dtrAtOpen));
        put("advanced/rtsAtOpen", flag(o.rtsAtOpen));
        put("advanced/customBaud", QString::number(o.customBaud));
        put("advanced/pulseLine", NameOf(o.pulseLine, kLineNames));
        put("advanced/pulseMs", QString::number(o.pulseMs));
        put("advanced/breakMs", QString::number(o.breakMs));
        put("advanced/autoReconnect", flag(o.autoReconnect));
        put("send/lineEnding", NameOf(o.lineEnding, kEndingNames));
        put("send/charDelayMs", QString::number(o.charDelayMs));
        put("send/echo", flag(o.echo));
        put("receive/encoding", NameOf(o.textEncoding, kEncodingNames));
        put("receive/logDirectory", QFile::decodeName(QByteArray::fromStdString(o.logDirectory)));
    }
    store.sync();
    return store.status() == QSettings::NoError;
}
