#include "ui/line_control_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/decimal_field.h"

namespace {

// Rates above the main window's list that adapters commonly take.
constexpr uint32_t kCommonRates[] = {230400, 460800, 921600, 1000000, 1500000, 2000000, 3000000};

struct Lamp {
    const char* name;
    bool ModemStatus::*line;
};
constexpr Lamp kLamps[] = {{"CTS", &ModemStatus::cts},
                           {"DSR", &ModemStatus::dsr},
                           {"DCD", &ModemStatus::dcd},
                           {"RI", &ModemStatus::ri}};

QValidator* Digits(QObject* parent) {
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), parent);
}

QLineEdit* LengthEdit(const char* objectName, const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromUtf8(objectName));
    edit->setAccessibleName(name);
    edit->setValidator(Digits(edit));
    edit->setMaximumWidth(70);
    return edit;
}

// A button in a window whose Enter belongs to the fields: never the default one.
QPushButton* ActionButton(const char* objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(objectName));
    button->setAutoDefault(false);
    return button;
}

QCheckBox* LineBox(const char* objectName, const char* caption, const QString& name,
                   QWidget* parent) {
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromUtf8(objectName));
    box->setAccessibleName(name);
    return box;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets) {
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets) row->addWidget(w);
    row->addStretch();
    return row;
}

}  // namespace

CLineControlPage::CLineControlPage(QWidget* parent) : QWidget(parent) {
    m_cbFlow = new QComboBox(this);
    m_cbFlow->setObjectName(QStringLiteral("cbFlow"));
    m_cbFlow->setAccessibleName(QStringLiteral("流控"));
    // Qt on Linux names a drop-down by its current item; what it chooses is told here.
    m_cbFlow->setAccessibleDescription(m_cbFlow->accessibleName());
    m_cbFlow->addItem(QStringLiteral("无"), static_cast<int>(FlowControl::None));
    m_cbFlow->addItem(QStringLiteral("RTS/CTS"), static_cast<int>(FlowControl::RtsCts));
    m_cbFlow->addItem(QStringLiteral("XON/XOFF"), static_cast<int>(FlowControl::XonXoff));

    m_cbCustomBaud = new QComboBox(this);
    m_cbCustomBaud->setObjectName(QStringLiteral("cbCustomBaud"));
    m_cbCustomBaud->setAccessibleName(QStringLiteral("自定义波特率"));
    m_cbCustomBaud->setAccessibleDescription(m_cbCustomBaud->accessibleName());
    m_cbCustomBaud->setEditable(true);
    m_cbCustomBaud->setInsertPolicy(QComboBox::NoInsert);
    m_cbCustomBaud->setCompleter(nullptr);  // "15" and Enter means 15, not the 1500000 it begins
    for (uint32_t rate : kCommonRates) m_cbCustomBaud->addItem(QString::number(rate));
    m_cbCustomBaud->lineEdit()->setValidator(Digits(m_cbCustomBaud));
    m_cbCustomBaud->lineEdit()->setPlaceholderText(QStringLiteral("不使用"));

    m_chkDtrAtOpen = LineBox("chkDtrAtOpen", "DTR", QStringLiteral("打开时 DTR"), this);
    m_chkRtsAtOpen = LineBox("chkRtsAtOpen", "RTS", QStringLiteral("打开时 RTS"), this);
    m_chkDtr = LineBox("chkDtr", "DTR", QStringLiteral("DTR"), this);
    m_chkRts = LineBox("chkRts", "RTS", QStringLiteral("RTS"), this);
    static const char* const kLampObjects[] = {"lampCts", "lampDsr", "lampDcd", "lampRi"};
    for (int i = 0; i < 4; ++i) {
        m_lamps[i] = new QLabel(this);
        m_lamps[i]->setObjectName(QString::fromUtf8(kLampObjects[i]));
        m_lamps[i]->setTextFormat(Qt::RichText);
    }
    m_lblLines = new QLabel(this);
    m_lblLines->setObjectName(QStringLiteral("lblLines"));

    m_cbPulseLine = new QComboBox(this);
    m_cbPulseLine->setObjectName(QStringLiteral("cbPulseLine"));
    m_cbPulseLine->setAccessibleName(QStringLiteral("复位脉冲线路"));
    m_cbPulseLine->setAccessibleDescription(m_cbPulseLine->accessibleName());
    m_cbPulseLine->addItem(QStringLiteral("DTR"), static_cast<int>(ModemLine::Dtr));
    m_cbPulseLine->addItem(QStringLiteral("RTS"), static_cast<int>(ModemLine::Rts));
    m_editPulseMs = LengthEdit("editPulseMs", QStringLiteral("复位脉冲长度（毫秒）"), this);
    m_btnPulse = ActionButton("btnPulse", QStringLiteral("发送脉冲"), this);
    m_editBreakMs = LengthEdit("editBreakMs", QStringLiteral("Break 长度（毫秒）"), this);
    m_btnBreak = ActionButton("btnBreak", QStringLiteral("发送 Break"), this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("流控"), m_cbFlow);
    form->addRow(QStringLiteral("自定义波特率"), m_cbCustomBaud);

    auto* atOpen = new QGroupBox(QStringLiteral("打开串口时"), this);
    atOpen->setLayout(Row({m_chkDtrAtOpen, m_chkRtsAtOpen}));

    auto* lines = new QGroupBox(QStringLiteral("线路状态"), this);
    auto* linesLayout = new QVBoxLayout(lines);
    linesLayout->addLayout(Row({m_chkDtr, m_chkRts}));
    linesLayout->addLayout(Row({m_lamps[0], m_lamps[1], m_lamps[2], m_lamps[3]}));
    linesLayout->addWidget(m_lblLines);

    auto* pulse = new QGroupBox(QStringLiteral("复位脉冲"), this);
    pulse->setLayout(
        Row({m_cbPulseLine, m_editPulseMs, new QLabel(QStringLiteral("ms"), this), m_btnPulse}));
    auto* brk = new QGroupBox(QStringLiteral("Break"), this);
    brk->setLayout(Row({m_editBreakMs, new QLabel(QStringLiteral("ms"), this), m_btnBreak}));

    auto* page = new QVBoxLayout(this);
    page->addLayout(form);
    page->addWidget(atOpen);
    page->addWidget(lines);
    page->addWidget(pulse);
    page->addWidget(brk);
    page->addStretch();

    connect(m_cbFlow, &QComboBox::activated, this, [this] {
        PortOptions o = m_options;
        o.flow = static_cast<FlowControl>(m_cbFlow->currentData().toInt());
        Edit(o);
    });
    // Typed rates are taken when complete, not on every digit.
    connect(m_cbCustomBaud, &QComboBox::activated, this, &CLineControlPage::OnCustomBaudEntered);
    connect(m_cbCustomBaud->lineEdit(), &QLineEdit::editingFinished, this,
            &CLineControlPage::OnCustomBaudEntered);
    connect(m_chkDtrAtOpen, &QCheckBox::clicked, this, [this](bool on) {
        PortOptions o = m_options;
        o.dtrAtOpen = on;
        Edit(o);
    });
    connect(m_chkRtsAtOpen, &QCheckBox::clicked, this, [this](bool on) {
        PortOptions o = m_options;
        o.rtsAtOpen = on;
        Edit(o);
    });
    connect(m_chkDtr, &QCheckBox::clicked, this,
            [this](bool on) { emit modemLineToggled(ModemLine::Dtr, on); });
    connect(m_chkRts, &QCheckBox::clicked, this,
            [this](bool on) { emit modemLineToggled(ModemLine::Rts, on); });
    connect(m_cbPulseLine, &QComboBox::activated, this, [this] {
        PortOptions o = m_options;
        o.pulseLine = static_cast<ModemLine>(m_cbPulseLine->currentData().toInt());
        Edit(o);
    });
    const QString pulseLength = QStringLiteral("复位脉冲长度");
    const QString breakLength = QStringLiteral("Break 长度");
    connect(m_editPulseMs, &QLineEdit::editingFinished, this,
            [=, this] { TakeLength(m_editPulseMs, &PortOptions::pulseMs, pulseLength); });
    connect(m_editBreakMs, &QLineEdit::editingFinished, this,
            [=, this] { TakeLength(m_editBreakMs, &PortOptions::breakMs, breakLength); });
    connect(m_btnPulse, &QPushButton::clicked, this, [=, this] {
        if (TakeLength(m_editPulseMs, &PortOptions::pulseMs, pulseLength)) emit pulseRequested();
    });
    connect(m_btnBreak, &QPushButton::clicked, this, [=, this] {
        if (TakeLength(m_editBreakMs, &PortOptions::breakMs, breakLength)) emit breakRequested();
    });

    ShowOptions(m_options);
    ShowLines();
}

void CLineControlPage::ShowOptions(const PortOptions& options) {
    m_options = options;
    m_cbFlow->setCurrentIndex(m_cbFlow->findData(static_cast<int>(options.flow)));
    m_cbCustomBaud->setEditText(options.customBaud ? QString::number(options.customBaud)
                                                   : QString());
    m_chkDtrAtOpen->setChecked(options.dtrAtOpen);
    m_chkRtsAtOpen->setChecked(options.rtsAtOpen);
    m_cbPulseLine->setCurrentIndex(m_cbPulseLine->findData(static_cast<int>(options.pulseLine)));
    m_editPulseMs->setText(QString::number(options.pulseMs));
    m_editBreakMs->setText(QString::number(options.breakMs));
}

void CLineControlPage::SetPortOpen(bool open) {
    m_open = open;
    m_statusKnown = false;
    m_status.reset();
    ShowLines();
}

void CLineControlPage::ShowModemStatus(std::optional<ModemStatus> status) {
    if (!m_open) return;  // told by a port closed since
    m_statusKnown = true;
    m_status = status;
    ShowLines();
}

void CLineControlPage::OnCustomBaudEntered() {
    const QString text = m_cbCustomBaud->currentText().trimmed();
    uint32_t rate = 0;
    if (!text.isEmpty() && (!ParseUInt32(text.toStdU16String(), rate) || rate == 0)) {
        emit refused(QStringLiteral(
            "自定义波特率必须是 1 到 4294967295 之间的整数；留空则使用主窗口的波特率。"));
        return;
    }
    PortOptions o = m_options;
    o.customBaud = rate;
    Edit(o);
}

bool CLineControlPage::TakeLength(QLineEdit* edit, uint32_t PortOptions::*field,
                                  const QString& what) {
    uint32_t ms = 0;
    if (!ParseUInt32(edit->text().toStdU16String(), ms) || ms < kMinControlMs ||
        ms > kMaxControlMs) {
        emit refused(QStringLiteral("%1必须是 %2 到 %3 之间的整数（毫秒）。")
                         .arg(what)
                         .arg(kMinControlMs)
                         .arg(kMaxControlMs));
        return false;
    }
    PortOptions o = m_options;
    o.*field = ms;
    Edit(o);
    return true;
}

void CLineControlPage::Edit(const PortOptions& options) {
    if (options == m_options) return;
    m_options = options;
    emit optionsEdited(options);
}

void CLineControlPage::ShowLines() {
    const bool known = m_open && m_statusKnown && m_status.has_value();
    // Why the lines cannot be shown; nothing while the first status is on its way.
    QString why;
    if (!m_open) {
        why = QStringLiteral("串口未打开");
    } else if (m_statusKnown && !m_status) {
        why = QStringLiteral("此端口没有调制解调器控制线");
    }
    m_lblLines->setText(why);
    for (QCheckBox* box : {m_chkDtr, m_chkRts}) {
        box->setEnabled(known);
        box->setAccessibleDescription(why);
    }
    m_chkDtr->setChecked(known && m_status->dtr);
    m_chkRts->setChecked(known && m_status->rts);
    m_btnPulse->setEnabled(known);
    m_btnPulse->setAccessibleDescription(why);
    m_btnBreak->setEnabled(m_open);
    m_btnBreak->setAccessibleDescription(m_open ? QString() : why);
    const QColor on(0x1e, 0xa0, 0x32);
    const QColor off = palette().color(QPalette::Mid);
    for (int i = 0; i < 4; ++i) {
        const QString name = QString::fromUtf8(kLamps[i].name);
        const bool lit = known && (*m_status).*kLamps[i].line;
        m_lamps[i]->setEnabled(known);
        m_lamps[i]->setText(known ? QStringLiteral("<span style=\"color:%1\">●</span> %2")
                                        .arg((lit ? on : off).name(), name)
                                  : QStringLiteral("○ ") + name);
        m_lamps[i]->setAccessibleName(
            name + (known ? (lit ? QStringLiteral("：开") : QStringLiteral("：关"))
                          : QStringLiteral("：未知")));
        m_lamps[i]->setAccessibleDescription(why);
    }
}
