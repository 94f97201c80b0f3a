#pragma once

#include <QDialog>

// The About box: icon, name, a notice, a contact line and OK. Modal, owned by whoever
// opens it.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
