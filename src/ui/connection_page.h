#pragma once

#include <QWidget>

#include "serial/port_options.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The "连接" page of the advanced window: whether a port whose device goes away waits for
// it and opens it again, and whether the settings come back at the next start. A view of
// those two options: it shows the options it is given and says what the user changed. Also
// "添加网络串口": a network port by host, port number and kind, checked before it is told,
// and the list of the ports added, each of which can be taken off again. Window thread only.
class CConnectionPage : public QWidget {
    Q_OBJECT

public:
    explicit CConnectionPage(QWidget* parent = nullptr);

    void ShowOptions(const PortOptions& options);
    // The network ports added so far, in the port list's order.
    void ShowNetworkPorts(const QStringList& paths);

signals:
    // `options` are the shown ones with the user's change.
    void optionsEdited(const PortOptions& options);
    // The user added the network port `path` (rfc2217:// or tcp://).
    void networkPortAdded(const QString& path);
    // The user asked to take `path` off the port list.
    void networkPortRemoved(const QString& path);

private:
    void Edit();
    void AddNetworkPort();

    PortOptions m_options;
    QCheckBox* m_chkReconnect;
    QCheckBox* m_chkRemember;
    QLineEdit* m_editHost;
    QLineEdit* m_editNetPort;
    QComboBox* m_cbNetKind;
    QLabel* m_lblNetResult;  // what the last press did, or why not
    QListWidget* m_listNetPorts;
    QPushButton* m_btnNetRemove;
};
