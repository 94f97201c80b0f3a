#pragma once

#include <QDialog>
#include <functional>

#include "send/command_file.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// The small window that adds or edits one saved command: its name, its text (several lines
// allowed) and whether it is hex. Window thread only.
class CCommandEditDlg : public QDialog {
    Q_OBJECT

public:
    // Tells the user and returns true when `text` is no hex notation.
    using HexCheck = std::function<bool(const QString& text)>;

    CCommandEditDlg(QWidget* parent, const QString& title, const SavedCommand& command,
                    HexCheck refuseNonHex);

    SavedCommand Command() const;
    // Hex text is taken only as the send area would take it.
    void accept() override;

private:
    HexCheck m_refuseNonHex;
    QLineEdit* m_editName;
    QPlainTextEdit* m_editText;
    QCheckBox* m_chkHex;
};
