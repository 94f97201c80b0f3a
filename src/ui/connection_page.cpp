#include "ui/connection_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

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
    layout->addStretch();
    connect(m_chkReconnect, &QCheckBox::clicked, this, &CConnectionPage::Edit);
    connect(m_chkRemember, &QCheckBox::clicked, this, &CConnectionPage::Edit);
    ShowOptions(m_options);
}

void CConnectionPage::ShowOptions(const PortOptions& options) {
    m_options = options;
    m_chkReconnect->setChecked(options.autoReconnect);
    m_chkRemember->setChecked(options.rememberSettings);
}

void CConnectionPage::Edit() {
    m_options.autoReconnect = m_chkReconnect->isChecked();
    m_options.rememberSettings = m_chkRemember->isChecked();
    emit optionsEdited(m_options);
}
