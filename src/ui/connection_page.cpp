#include "ui/connection_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "serial/network_address.h"
#include "ui/decimal_field.h"

namespace {

// A check box with what it does spelled out below it, also for a screen reader.
QCheckBox* AddOption(QVBoxLayout& layout, const char* name, const QString& caption,
                     const QString& hint) {
    auto* box = new QCheckBox(caption);
    box->setObjectName(QString::fromUtf8(name));
    box->setAccessibleDescription(hint);
    auto* label = new QLabel(hint);
    label->setWordWrap(true);
    label->setIndent(box->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4);
    label->setForegroundRole(QPalette::PlaceholderText);
    layout.addWidget(box);
    layout.addWidget(label);
    layout.addSpacing(8);
    return box;
}

// A field of the network group, named for a screen reader as its label reads.
template <typename T>
T* AddField(QFormLayout& form, const char* name, const QString& label, T* field) {
    field->setObjectName(QString::fromUtf8(name));
    field->setAccessibleName(QString(label).remove(u'：'));
    form.addRow(label, field);
    return field;
}

}  // namespace

CConnectionPage::CConnectionPage(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    m_chkReconnect =
        AddOption(*layout, "IDC_CHK_RECONNECT", QStringLiteral("断线自动重连"),
                  QStringLiteral("设备断开后串口保持打开，等设备重新接入后按相同设置自动打开。"
                                 "USB 转串口设备换了名称（如 ttyUSB0 变为 ttyUSB1）也能找到。"));
    m_chkRemember =
        AddOption(*layout, "IDC_CHK_REMEMBER", QStringLiteral("记住设置"),
                  QStringLiteral("下次启动时恢复串口、通信设置、显示和发送选项以及高级设置；"
                                 "不勾选时每次都以默认设置启动。"));
    auto* network = new QGroupBox(QStringLiteral("添加网络串口"));
    auto* form = new QFormLayout(network);
    m_editHost = AddField(*form, "IDC_EDIT_NET_HOST", QStringLiteral("主机："), new QLineEdit);
    m_editHost->setPlaceholderText(QStringLiteral("主机名或 IP 地址"));
    m_editNetPort = AddField(*form, "IDC_EDIT_NET_PORT", QStringLiteral("端口号："), new QLineEdit);
    m_editNetPort->setPlaceholderText(QStringLiteral("1-65535"));
    m_cbNetKind = AddField(*form, "IDC_COMBO_NET_KIND", QStringLiteral("类型："), new QComboBox);
    m_cbNetKind->addItem(QStringLiteral("RFC 2217（ser2net 等串口服务器）"),
                         static_cast<int>(NetworkKind::Rfc2217));
    m_cbNetKind->addItem(QStringLiteral("TCP（只传数据，线路设置由远端决定）"),
                         static_cast<int>(NetworkKind::RawTcp));
    auto* add = new QPushButton(QStringLiteral("添加到串口列表"));
    add->setObjectName(QStringLiteral("IDC_BTN_NET_ADD"));
    add->setAutoDefault(false);
    form->addRow(add);
    m_lblNetResult = new QLabel;
    m_lblNetResult->setObjectName(QStringLiteral("IDC_TXT_NET_RESULT"));
    m_lblNetResult->setWordWrap(true);
    m_lblNetResult->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    form->addRow(m_lblNetResult);
    layout->addWidget(network);

    auto* added = new QGroupBox(QStringLiteral("已添加的网络串口"));
    auto* addedLayout = new QHBoxLayout(added);
    m_listNetPorts = new QListWidget;
    m_listNetPorts->setObjectName(QStringLiteral("IDC_LIST_NET_PORTS"));
    m_listNetPorts->setAccessibleName(added->title());
    m_listNetPorts->setMaximumHeight(m_listNetPorts->fontMetrics().height() * 5);
    m_btnNetRemove = new QPushButton(QStringLiteral("删除"));
    m_btnNetRemove->setObjectName(QStringLiteral("IDC_BTN_NET_REMOVE"));
    m_btnNetRemove->setAccessibleDescription(QStringLiteral("从串口列表中删除选中的网络串口"));
    m_btnNetRemove->setAutoDefault(false);
    m_btnNetRemove->setEnabled(false);
    addedLayout->addWidget(m_listNetPorts, 1);
    addedLayout->addWidget(m_btnNetRemove, 0, Qt::AlignTop);
    layout->addWidget(added);
    layout->addStretch();
    connect(m_listNetPorts, &QListWidget::currentRowChanged, this,
            [this](int row) { m_btnNetRemove->setEnabled(row >= 0); });
    connect(m_btnNetRemove, &QPushButton::clicked, this, [this] {
        if (QListWidgetItem* item = m_listNetPorts->currentItem())
            emit networkPortRemoved(item->text());
    });
    connect(add, &QPushButton::clicked, this, &CConnectionPage::AddNetworkPort);
    connect(m_chkReconnect, &QCheckBox::clicked, this, &CConnectionPage::Edit);
    connect(m_chkRemember, &QCheckBox::clicked, this, &CConnectionPage::Edit);
    ShowOptions(m_options);
}

void CConnectionPage::ShowOptions(const PortOptions& options) {
    m_options = options;
    m_chkReconnect->setChecked(options.autoReconnect);
    m_chkRemember->setChecked(options.rememberSettings);
}

void CConnectionPage::ShowNetworkPorts(const QStringList& paths) {
    const int row = m_listNetPorts->currentRow();
    m_listNetPorts->clear();
    m_listNetPorts->addItems(paths);
    // After a removal the next entry is the one at hand, as in a file manager.
    m_listNetPorts->setCurrentRow(
        paths.isEmpty() ? -1 : std::min<int>(std::max(row, 0), paths.size() - 1));
}

void CConnectionPage::Edit() {
    m_options.autoReconnect = m_chkReconnect->isChecked();
    m_options.rememberSettings = m_chkRemember->isChecked();
    emit optionsEdited(m_options);
}

void CConnectionPage::AddNetworkPort() {
    NetworkAddress address;
    address.kind = static_cast<NetworkKind>(m_cbNetKind->currentData().toInt());
    QString host = m_editHost->text().trimmed();
    if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
    address.host = host.toStdString();
    uint32_t port = 0;
    QString refusal;
    if (host.isEmpty()) {
        refusal = QStringLiteral("请输入服务器的主机名或 IP 地址。");
    } else if (!ParseUInt32(m_editNetPort->text().trimmed().toStdU16String(), port) || port < 1 ||
               port > 65535) {
        refusal = QStringLiteral("端口号必须是 1 到 65535 之间的整数。");
    } else {
        address.port = static_cast<uint16_t>(port);
        // The address as it would be read back: what the path cannot carry is no host name.
        if (ParseNetworkAddress(NetworkPath(address)) != address)
            refusal = QStringLiteral("“%1”不是有效的主机名或 IP 地址。").arg(host);
    }
    if (!refusal.isEmpty()) {
        m_lblNetResult->setText(refusal);
        return;
    }
    const QString path = QString::fromStdString(NetworkPath(address));
    m_lblNetResult->setText(QStringLiteral("已添加到串口列表：%1").arg(path));
    emit networkPortAdded(path);
}
