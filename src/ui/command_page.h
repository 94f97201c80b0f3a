#pragma once

#include <QKeySequence>
#include <QWidget>
#include <vector>

#include "send/command_file.h"
#include "ui/command_edit_dlg.h"

class QPushButton;
class QTreeWidget;

// Ctrl+1 … Ctrl+9, Ctrl+0 for the first ten saved commands; none for the others.
QKeySequence CommandShortcut(size_t index);

// The "常用命令" page of the advanced window, with two tabs: the saved commands (add, edit,
// delete, move, import, export) and the history of sends. A view: it shows the lists it is
// given and says what the user changed or wants sent; Enter or a double click on an entry
// sends it. Window thread only.
class CCommandPage : public QWidget {
    Q_OBJECT

public:
    explicit CCommandPage(QWidget* parent = nullptr);

    // How the edit window refuses hex text that is no hex notation.
    void SetHexCheck(CCommandEditDlg::HexCheck check) { m_hexCheck = std::move(check); }
    void ShowCommands(const std::vector<SavedCommand>& commands);
    void ShowHistory(const std::vector<SavedCommand>& history);

signals:
    // The whole list after an addition, edit, deletion or move.
    void commandsEdited(const std::vector<SavedCommand>& commands);
    void sendRequested(const SavedCommand& command);
    void importRequested();
    void exportRequested();
    void historyCleared();

private:
    void Edit(bool add);
    void Delete();
    void Move(int by);
    // Shows and announces the changed list with `row` selected.
    void Change(int row);
    int CurrentRow() const;
    void EnableButtons();

    std::vector<SavedCommand> m_commands;
    std::vector<SavedCommand> m_history;
    CCommandEditDlg::HexCheck m_hexCheck;
    QTreeWidget* m_listCommands;
    QTreeWidget* m_listHistory;
    // Buttons that act on the selected command.
    QPushButton* m_btnSend;
    QPushButton* m_btnEdit;
    QPushButton* m_btnDelete;
    QPushButton* m_btnUp;
    QPushButton* m_btnDown;
};
