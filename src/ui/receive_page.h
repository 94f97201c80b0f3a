#pragma once

#include <QWidget>

#include "serial/port_options.h"

class QLineEdit;
class QRadioButton;

// The "接收" page of the advanced window: how received bytes read as text ("文本编码") and
// where the daily log goes ("日志目录"). A view of those two options: it shows the options
// it is given and says what the user changed. Window thread only.
class CReceivePage : public QWidget {
    Q_OBJECT

public:
    explicit CReceivePage(QWidget* parent = nullptr);

    void ShowOptions(const PortOptions& options);
    // The directory an empty PortOptions::logDirectory stands for, shown as the path then.
    void SetDefaultLogDirectory(const QString& directory);
    // What "选择…" does with the directory picked: taken, made where missing, when a log can
    // be written there; refused with the reason otherwise.
    void ChooseLogDirectory(const QString& directory);

signals:
    // `options` are the shown ones with the user's change.
    void optionsEdited(const PortOptions& options);
    void refused(const QString& why);

private:
    void OnEncodingClicked();
    void OnChooseClicked();
    void OnDefaultClicked();

    PortOptions m_options;
    QString m_defaultDirectory;
    QRadioButton* m_rbEncodings[3];  // in TextEncoding's order
    QLineEdit* m_editLogDir;
};
