#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

// The help window: one fixed, read-only text, set afresh whenever the window is shown or
// hidden. Modal, owned by whoever opens it.
class HHelpDlg : public QDialog {
    Q_OBJECT

public:
    explicit HHelpDlg(QWidget* parent = nullptr);

    // The help text, lines ending in CR LF.
    static QString HelpText();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void ShowText();

    QPlainTextEdit* m_editHelp;
};
