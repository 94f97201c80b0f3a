#include "ui/receive_page.h"

#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "receive/receive_log.h"

namespace {

struct Encoding {
    const char* objectName;
    const char* caption;
};
constexpr Encoding kEncodings[] = {
    {"rbBytes", "每字节一个字符"}, {"rbUtf8", "UTF-8"}, {"rbGb18030", "GB18030"}};

// What a group does, below its controls, in the window's quieter text.
QLabel* Hint(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

// A button in a window whose Enter belongs to the fields: never the default one.
QPushButton* ActionButton(const char* objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(objectName));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CReceivePage::CReceivePage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("receivePage"));
    auto* encoding = new QGroupBox(QStringLiteral("文本编码"), this);
    auto* encodingLayout = new QVBoxLayout(encoding);
    for (size_t i = 0; i < std::size(kEncodings); ++i) {
        m_rbEncodings[i] = new QRadioButton(QString::fromUtf8(kEncodings[i].caption), encoding);
        m_rbEncodings[i]->setObjectName(QString::fromUtf8(kEncodings[i].objectName));
        encodingLayout->addWidget(m_rbEncodings[i]);
        connect(m_rbEncodings[i], &QRadioButton::clicked, this, &CReceivePage::OnEncodingClicked);
    }
    encodingLayout->addWidget(
        Hint(QStringLiteral("用于不勾选“十六进制显示”时。只影响此后收到的数据，已显示的内容不变；"
                            "十六进制显示和保存的日志仍是收到的原始字节。"),
             encoding));

    auto* log = new QGroupBox(QStringLiteral("日志目录"), this);
    m_editLogDir = new QLineEdit(log);
    m_editLogDir->setObjectName(QStringLiteral("editLogDir"));
    m_editLogDir->setAccessibleName(log->title());
    m_editLogDir->setReadOnly(true);
    auto* choose = ActionButton("btnChooseLogDir", QStringLiteral("选择…"), log);
    choose->setAccessibleDescription(QStringLiteral("选择日志目录"));
    auto* reset = ActionButton("btnDefaultLogDir", QStringLiteral("恢复默认"), log);
    reset->setAccessibleDescription(QStringLiteral("日志目录恢复为默认目录"));
    auto* row = new QHBoxLayout;
    row->addWidget(m_editLogDir, 1);
    row->addWidget(choose);
    row->addWidget(reset);
    auto* logLayout = new QVBoxLayout(log);
    logLayout->addLayout(row);
    logLayout->addWidget(Hint(QStringLiteral("勾选主窗口的“保存数据”后，接收数据写入此目录中按 UTC "
                                             "日期命名的文件 rxLOG_年-月-日.log。"),
                              log));

    auto* page = new QVBoxLayout(this);
    page->addWidget(encoding);
    page->addWidget(log);
    page->addStretch();
    connect(choose, &QPushButton::clicked, this, &CReceivePage::OnChooseClicked);
    connect(reset, &QPushButton::clicked, this, &CReceivePage::OnDefaultClicked);
    ShowOptions(m_options);
}

void CReceivePage::ShowOptions(const PortOptions& options) {
    m_options = options;
    m_rbEncodings[static_cast<size_t>(options.textEncoding)]->setChecked(true);
    m_editLogDir->setText(options.logDirectory.empty()
                              ? m_defaultDirectory
                              : QFile::decodeName(QByteArray::fromStdString(options.logDirectory)));
}

void CReceivePage::SetDefaultLogDirectory(const QString& directory) {
    m_defaultDirectory = directory;
    ShowOptions(m_options);
}

void CReceivePage::ChooseLogDirectory(const QString& directory) {
    const std::string path = QFile::encodeName(directory).toStdString();
    const std::string why = PrepareLogDirectory(path);
    if (!why.empty()) {
        emit refused(QStringLiteral("不能把日志保存到“%1”：%2。日志目录保持原样。")
                         .arg(directory, QString::fromLocal8Bit(why.c_str())));
        return;
    }
    m_options.logDirectory = path;
    emit optionsEdited(m_options);
}

void CReceivePage::OnEncodingClicked() {
    for (size_t i = 0; i < std::size(m_rbEncodings); ++i) {
        if (m_rbEncodings[i]->isChecked()) m_options.textEncoding = static_cast<TextEncoding>(i);
    }
    emit optionsEdited(m_options);
}

void CReceivePage::OnChooseClicked() {
    const QString directory = QFileDialog::getExistingDirectory(
        this, QStringLiteral("选择日志目录"), m_editLogDir->text());
    if (!directory.isEmpty()) ChooseLogDirectory(directory);
}

void CReceivePage::OnDefaultClicked() {
    m_options.logDirectory.clear();
    emit optionsEdited(m_options);
}
