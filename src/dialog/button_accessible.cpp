#include "dialog/button_accessible.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>

namespace {

QAccessible::Role RoleOf(const QAbstractButton* button) {
    if (qobject_cast<const QCheckBox*>(button)) return QAccessible::CheckBox;
    if (qobject_cast<const QRadioButton*>(button)) return QAccessible::RadioButton;
    return QAccessible::PushButton;
}

// "&Open" reads "Open"; "&&" is a literal ampersand.
QString WithoutMnemonic(const QString& caption) {
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size()) ++i;
        out += caption[i];
    }
    return out;
}

class ButtonAccessible : public QAccessibleWidget {
public:
    explicit ButtonAccessible(QAbstractButton* button) : QAccessibleWidget(button, RoleOf(button)) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && Button()->accessibleName().isEmpty())
            return WithoutMnemonic(Button()->text());
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = Button()->isCheckable();
        s.checked = Button()->isChecked();
        s.pressed = Button()->isDown();
        if (auto* push = qobject_cast<QPushButton*>(Button())) s.defaultButton = push->isDefault();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{Button()->isCheckable() ? toggleAction() : pressAction()} +
               QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override {
        if (name != pressAction() && name != toggleAction()) return QAccessibleWidget::doAction(name);
        // Deferred, as Qt's own Press is: a click that opens a modal box must
        // not block the assistive tool's call waiting for its reply.
        if (Button()->isEnabled()) Button()->animateClick();
    }

private:
    QAbstractButton* Button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    // Asked first with the most derived class name, so answering there comes
    // before Qt's own factory does.
    if (className != u"QPushButton" && className != u"QCheckBox" && className != u"QRadioButton")
        return nullptr;
    return new ButtonAccessible(static_cast<QAbstractButton*>(object));
}

}  // namespace

void InstallButtonAccessibility() {
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}
