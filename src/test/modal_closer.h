#pragma once

#include <QApplication>
#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>

// While alive, closes every modal dialog the program opens (Esc, as a user would), after
// handing it to `inspect`, and records its title.
class ModalCloser {
public:
    explicit ModalCloser(std::function<void(QDialog&)> inspect = {}) : m_inspect(std::move(inspect)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            m_titles << dialog->windowTitle();
            if (m_inspect) m_inspect(*dialog);
            dialog->reject();
        });
        m_timer.start(5);
    }
    const QStringList& Titles() const { return m_titles; }

private:
    std::function<void(QDialog&)> m_inspect;
    QTimer m_timer;
    QStringList m_titles;
};
