#pragma once

#include <QWidget>

#include "serial/port_options.h"

class QCheckBox;

// The "连接" page of the advanced window: whether a port whose device goes away waits for
// it and opens it again, and whether the settings come back at the next start. A view of
// those two options: it shows the options it is given and says what the user changed.
// Window thread only.
class CConnectionPage : public QWidget {
    Q_OBJECT

public:
    explicit CConnectionPage(QWidget* parent = nullptr);

    void ShowOptions(const PortOptions& options);

signals:
    // `options` are the shown ones with the user's change.
    void optionsEdited(const PortOptions& options);

private:
    void Edit();

    PortOptions m_options;
    QCheckBox* m_chkReconnect;
    QCheckBox* m_chkRemember;
};
