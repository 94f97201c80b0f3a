#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

// While alive, answers every message box the program shows with OK and records its text
// (and its informative text, when there is one, after a newline).
class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            m_titles << box->windowTitle();
            m_texts << (box->informativeText().isEmpty()
                            ? box->text()
                            : box->text() + '\n' + box->informativeText());
            box->done(QMessageBox::Ok);
        });
        m_timer.start(5);
    }
    const QStringList& Texts() const { return m_texts; }
    const QStringList& Titles() const { return m_titles; }
    void Clear() {
        m_texts.clear();
        m_titles.clear();
    }

private:
    QTimer m_timer;
    QStringList m_texts;
    QStringList m_titles;
};
