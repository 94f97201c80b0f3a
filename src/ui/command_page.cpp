#include "ui/command_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString kText = QStringLiteral("文本");
const QString kHex = QStringLiteral("十六进制");

// One line of the list: line breaks shown as a mark, so each entry stays one row.
QString OneLine(const std::string& text) {
    return QString::fromStdString(text)
        .replace(QStringLiteral("\r\n"), QStringLiteral("↵"))
        .replace(u'\n', u'↵');
}

QTreeWidget* MakeList(const char* name, const QString& accessibleName, const QStringList& columns) {
    auto* list = new QTreeWidget;
    list->setObjectName(QString::fromUtf8(name));
    list->setAccessibleName(accessibleName);
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setUniformRowHeights(true);
    list->header()->setStretchLastSection(true);
    return list;
}

QPushButton* MakeButton(QVBoxLayout& column, const char* name, const QString& caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromUtf8(name));
    button->setAutoDefault(false);  // Enter belongs to the list: it sends
    column.addWidget(button);
    return button;
}

QWidget* ListWithButtons(QTreeWidget* list, QVBoxLayout* buttons) {
    auto* tab = new QWidget;
    auto* layout = new QHBoxLayout(tab);
    layout->addWidget(list, 1);
    buttons->addStretch();
    layout->addLayout(buttons);
    return tab;
}

}  // namespace

QKeySequence CommandShortcut(size_t index) {
    if (index >= 10) return {};
    return QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + (index + 1) % 10));
}

CCommandPage::CCommandPage(QWidget* parent) : QWidget(parent) {
    m_listCommands = MakeList("listCommands", QStringLiteral("常用命令"),
                              {QStringLiteral("快捷键"), QStringLiteral("名称"),
                               QStringLiteral("类型"), QStringLiteral("内容")});
    auto* commandButtons = new QVBoxLayout;
    m_btnSend = MakeButton(*commandButtons, "btnSendCommand", QStringLiteral("发送"));
    auto* add = MakeButton(*commandButtons, "btnAddCommand", QStringLiteral("添加…"));
    m_btnEdit = MakeButton(*commandButtons, "btnEditCommand", QStringLiteral("编辑…"));
    m_btnDelete = MakeButton(*commandButtons, "btnDeleteCommand", QStringLiteral("删除"));
    m_btnUp = MakeButton(*commandButtons, "btnCommandUp", QStringLiteral("上移"));
    m_btnDown = MakeButton(*commandButtons, "btnCommandDown", QStringLiteral("下移"));
    commandButtons->addSpacing(12);
    auto* import = MakeButton(*commandButtons, "btnImportCommands", QStringLiteral("导入…"));
    auto* exportTo = MakeButton(*commandButtons, "btnExportCommands", QStringLiteral("导出…"));

    m_listHistory = MakeList("listHistory", QStringLiteral("历史记录"),
                             {QStringLiteral("类型"), QStringLiteral("内容")});
    auto* historyButtons = new QVBoxLayout;
    auto* resend = MakeButton(*historyButtons, "btnSendHistory", QStringLiteral("发送"));
    auto* clear = MakeButton(*historyButtons, "btnClearHistory", QStringLiteral("清空"));

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabsCommands"));
    tabs->addTab(ListWithButtons(m_listCommands, commandButtons), QStringLiteral("常用命令"));
    tabs->addTab(ListWithButtons(m_listHistory, historyButtons), QStringLiteral("历史记录"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);

    auto sendCommand = [this] {
        if (const int row = CurrentRow(); row >= 0)
            emit sendRequested(m_commands[static_cast<size_t>(row)]);
    };
    auto sendHistory = [this] {
        const int row = m_listHistory->indexOfTopLevelItem(m_listHistory->currentItem());
        if (row >= 0) emit sendRequested(m_history[static_cast<size_t>(row)]);
    };
    connect(m_listCommands, &QTreeWidget::activated, this, sendCommand);
    connect(m_btnSend, &QPushButton::clicked, this, sendCommand);
    connect(m_listHistory, &QTreeWidget::activated, this, sendHistory);
    connect(resend, &QPushButton::clicked, this, sendHistory);
    connect(clear, &QPushButton::clicked, this, &CCommandPage::historyCleared);
    connect(add, &QPushButton::clicked, this, [this] { Edit(true); });
    connect(m_btnEdit, &QPushButton::clicked, this, [this] { Edit(false); });
    connect(m_btnDelete, &QPushButton::clicked, this, &CCommandPage::Delete);
    connect(m_btnUp, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(m_btnDown, &QPushButton::clicked, this, [this] { Move(1); });
    connect(import, &QPushButton::clicked, this, &CCommandPage::importRequested);
    connect(exportTo, &QPushButton::clicked, this, &CCommandPage::exportRequested);
    connect(m_listCommands, &QTreeWidget::currentItemChanged, this, &CCommandPage::EnableButtons);
    EnableButtons();
}

void CCommandPage::ShowCommands(const std::vector<SavedCommand>& commands) {
    const int row = CurrentRow();
    m_commands = commands;
    m_listCommands->clear();
    for (size_t i = 0; i < commands.size(); ++i) {
        const SavedCommand& c = commands[i];
        auto* item = new QTreeWidgetItem(m_listCommands, {CommandShortcut(i).toString(QKeySequence::NativeText),
                                                          QString::fromStdString(c.name), c.hex ? kHex : kText,
                                                          OneLine(c.text)});
        item->setToolTip(3, QString::fromStdString(c.text));  // the column cuts a long one short
    }
    // The first when none was chosen, so the keys act on one at once.
    m_listCommands->setCurrentItem(m_listCommands->topLevelItem(
        std::clamp(row, 0, std::max(m_listCommands->topLevelItemCount() - 1, 0))));
    for (int column = 0; column < 3; ++column) m_listCommands->resizeColumnToContents(column);
    EnableButtons();
}

void CCommandPage::ShowHistory(const std::vector<SavedCommand>& history) {
    m_history = history;
    m_listHistory->clear();
    for (const SavedCommand& c : history) {
        auto* item = new QTreeWidgetItem(m_listHistory, {c.hex ? kHex : kText, OneLine(c.text)});
        item->setToolTip(1, QString::fromStdString(c.text));
    }
    m_listHistory->resizeColumnToContents(0);
    m_listHistory->setCurrentItem(m_listHistory->topLevelItem(0));
}

void CCommandPage::Edit(bool add) {
    const int row = CurrentRow();
    if (!add && row < 0) return;
    const SavedCommand shown = add ? SavedCommand{} : m_commands[static_cast<size_t>(row)];
    CCommandEditDlg dlg(this, add ? QStringLiteral("添加命令") : QStringLiteral("编辑命令"), shown,
                        m_hexCheck);
    if (dlg.exec() != QDialog::Accepted) return;
    if (add) {
        m_commands.push_back(dlg.Command());
        Change(static_cast<int>(m_commands.size()) - 1);
    } else {
        m_commands[static_cast<size_t>(row)] = dlg.Command();
        Change(row);
    }
}

void CCommandPage::Delete() {
    const int row = CurrentRow();
    if (row < 0) return;
    m_commands.erase(m_commands.begin() + row);
    Change(std::min(row, static_cast<int>(m_commands.size()) - 1));
}

void CCommandPage::Move(int by) {
    const int row = CurrentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= static_cast<int>(m_commands.size())) return;
    std::swap(m_commands[static_cast<size_t>(row)], m_commands[static_cast<size_t>(to)]);
    Change(to);
}

void CCommandPage::Change(int row) {
    const std::vector<SavedCommand> commands = m_commands;
    ShowCommands(commands);
    m_listCommands->setCurrentItem(m_listCommands->topLevelItem(row));
    emit commandsEdited(commands);
}

int CCommandPage::CurrentRow() const {
    return m_listCommands->indexOfTopLevelItem(m_listCommands->currentItem());
}

void CCommandPage::EnableButtons() {
    // Up and down stay enabled at the ends, so that pressing one again keeps the focus.
    for (QPushButton* b : {m_btnSend, m_btnEdit, m_btnDelete, m_btnUp, m_btnDown})
        b->setEnabled(CurrentRow() >= 0);
}
