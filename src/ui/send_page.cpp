#include "ui/send_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// Below the control it explains, greyed, as on the other pages.
QLabel* Hint(const QString& text, int indent = 0) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setIndent(indent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A button in a window whose Enter belongs to the fields: never the default one.
QPushButton* ActionButton(const char* objectName, const QString& caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromUtf8(objectName));
    button->setAutoDefault(false);
    return button;
}

QString Seconds(double seconds) {
    const auto s = static_cast<qint64>(seconds + 0.5);
    if (s < 60) return QStringLiteral("%1 秒").arg(s);
    return QStringLiteral("%1 分 %2 秒").arg(s / 60).arg(s % 60);
}

}  // namespace

CSendPage::CSendPage(QWidget* parent) : QWidget(parent) {
    m_cbLineEnding = new QComboBox(this);
    m_cbLineEnding->setObjectName(QStringLiteral("cbLineEnding"));
    m_cbLineEnding->setAccessibleName(QStringLiteral("行尾"));
    // Qt on Linux names a drop-down by its current item; what it chooses is told here.
    m_cbLineEnding->setAccessibleDescription(m_cbLineEnding->accessibleName());
    m_cbLineEnding->addItem(QStringLiteral("无"), static_cast<int>(LineEnding::None));
    m_cbLineEnding->addItem(QStringLiteral("CR"), static_cast<int>(LineEnding::Cr));
    m_cbLineEnding->addItem(QStringLiteral("LF"), static_cast<int>(LineEnding::Lf));
    m_cbLineEnding->addItem(QStringLiteral("CR LF"), static_cast<int>(LineEnding::CrLf));

    m_spinCharDelay = new QSpinBox(this);
    m_spinCharDelay->setObjectName(QStringLiteral("spinCharDelay"));
    m_spinCharDelay->setAccessibleName(QStringLiteral("字符间隔（毫秒）"));
    m_spinCharDelay->setRange(0, static_cast<int>(kMaxCharDelayMs));
    m_spinCharDelay->setSuffix(QStringLiteral(" ms"));
    m_spinCharDelay->setKeyboardTracking(false);  // taken when typed out, not per digit

    m_chkEcho = new QCheckBox(QStringLiteral("回显"), this);
    m_chkEcho->setObjectName(QStringLiteral("chkEcho"));
    const QString echoHint = QStringLiteral(
        "发送的数据也显示在接收区（保存数据时写入日志），每次发送一行，以“TX>”开头，不计入接收计数。");
    m_chkEcho->setAccessibleDescription(echoHint);

    m_btnSendFile = ActionButton("btnSendFile", QStringLiteral("发送文件…"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressSendFile"));
    m_progress->setAccessibleName(QStringLiteral("发送文件进度"));
    m_progress->setRange(0, 1000);
    m_progress->setValue(0);
    m_lblFile = new QLabel(this);
    m_lblFile->setObjectName(QStringLiteral("lblSendFile"));
    m_lblFile->setWordWrap(true);
    m_lblFile->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_btnCancelFile = ActionButton("btnCancelFile", QStringLiteral("取消"));
    m_btnCancelFile->setAccessibleDescription(QStringLiteral("停止发送文件"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("行尾"), m_cbLineEnding);
    form->addRow(QStringLiteral("字符间隔"), m_spinCharDelay);
    const QString sendHint = QStringLiteral(
        "行尾加在每次文本发送之后，十六进制发送按输入的字节发送。字符间隔是同一次发送中相邻字节之间的"
        "等待时间，0 表示不等待。循环发送重复开始时的字节和行尾；上一次尚未发完时跳过这一次。");

    auto* file = new QGroupBox(QStringLiteral("发送文件"), this);
    auto* fileLayout = new QVBoxLayout(file);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_btnSendFile);
    fileRow->addWidget(m_progress, 1);
    fileRow->addWidget(m_btnCancelFile);
    fileLayout->addLayout(fileRow);
    fileLayout->addWidget(m_lblFile);
    fileLayout->addWidget(Hint(QStringLiteral("按原样发送文件的字节，使用上面的字符间隔。")));

    auto* page = new QVBoxLayout(this);
    page->addLayout(form);
    page->addWidget(Hint(sendHint));
    page->addSpacing(8);
    page->addWidget(m_chkEcho);
    page->addWidget(Hint(echoHint, m_chkEcho->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4));
    page->addSpacing(8);
    page->addWidget(file);
    page->addStretch();

    connect(m_cbLineEnding, &QComboBox::activated, this, [this] {
        PortOptions o = m_options;
        o.lineEnding = static_cast<LineEnding>(m_cbLineEnding->currentData().toInt());
        Edit(o);
    });
    connect(m_spinCharDelay, &QSpinBox::valueChanged, this, [this](int ms) {
        PortOptions o = m_options;
        o.charDelayMs = static_cast<uint32_t>(ms);
        Edit(o);
    });
    connect(m_chkEcho, &QCheckBox::clicked, this, [this](bool on) {
        PortOptions o = m_options;
        o.echo = on;
        Edit(o);
    });
    connect(m_btnSendFile, &QPushButton::clicked, this, &CSendPage::ChooseFile);
    connect(m_btnCancelFile, &QPushButton::clicked, this, &CSendPage::sendFileCancelled);
    ShowOptions(m_options);
    ShowButtons();
}

void CSendPage::ShowOptions(const PortOptions& options) {
    m_options = options;
    m_cbLineEnding->setCurrentIndex(m_cbLineEnding->findData(static_cast<int>(options.lineEnding)));
    {
        const QSignalBlocker quiet(m_spinCharDelay);  // shown, not edited
        m_spinCharDelay->setValue(static_cast<int>(options.charDelayMs));
    }
    m_chkEcho->setChecked(options.echo);
}

void CSendPage::SetPortOpen(bool open) {
    m_open = open;
    ShowButtons();
}

void CSendPage::ShowFileProgress(uint64_t sent, uint64_t total, std::chrono::milliseconds elapsed) {
    m_sending = true;
    ShowButtons();
    const double seconds = static_cast<double>(elapsed.count()) / 1000.0;
    const double rate = seconds > 0 ? static_cast<double>(sent) / seconds : 0;
    QString text = total ? QStringLiteral("已发送 %1 / %2 字节").arg(sent).arg(total)
                         : QStringLiteral("已发送 %1 字节").arg(sent);
    text += QStringLiteral("，%1 字节/秒").arg(static_cast<qint64>(rate));
    if (total && rate > 0 && sent <= total) {
        text += QStringLiteral("，剩余 %1").arg(Seconds(static_cast<double>(total - sent) / rate));
    }
    m_lblFile->setText(text);
    m_progress->setValue(total ? static_cast<int>(1000 * sent / std::max<uint64_t>(total, 1)) : 0);
    m_progress->setAccessibleDescription(text);
}

QString HeldSendText(uint64_t left) {
    return QStringLiteral("等待对方接收…还有 %1 字节").arg(left);
}

void CSendPage::ShowFileHeld(uint64_t left) {
    const QString text = HeldSendText(left);
    m_lblFile->setText(text);
    m_progress->setAccessibleDescription(text);
}

void CSendPage::EndFileProgress(const QString& outcome) {
    m_sending = false;
    ShowButtons();
    m_lblFile->setText(outcome);
    m_progress->setAccessibleDescription(outcome);
}

void CSendPage::ChooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("发送文件"));
    if (!path.isEmpty()) emit sendFileChosen(path);
}

void CSendPage::Edit(const PortOptions& options) {
    if (options == m_options) return;
    m_options = options;
    emit optionsEdited(options);
}

void CSendPage::ShowButtons() {
    m_btnSendFile->setEnabled(m_open && !m_sending);
    m_btnSendFile->setAccessibleDescription(m_open ? QString() : QStringLiteral("串口未打开"));
    m_btnCancelFile->setEnabled(m_sending);
    m_progress->setTextVisible(m_sending);  // no "0%" before any file
}
