#include "receive/receive_view_accessible.h"

#include <QAccessibleWidget>
#include <climits>

#include "receive/receive_view.h"

namespace {

class ReceiveViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReceiveViewAccessible(ReceiveView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return View()->Text(0, View()->Length());
        return QAccessibleWidget::text(t);
    }

    // QAccessibleTextInterface
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && selectionCount() == 1) {
            *start = Clamp(View()->SelectionStart());
            *end = Clamp(View()->SelectionEnd());
        }
    }
    int selectionCount() const override {
        return View()->SelectionEnd() > View()->SelectionStart() ? 1 : 0;
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { View()->SetSelection(View()->CursorPosition(), View()->CursorPosition()); }
    void setSelection(int, int start, int end) override {
        View()->SetSelection(static_cast<size_t>(std::max(0, start)), static_cast<size_t>(std::max(0, end)));
    }
    int cursorPosition() const override { return Clamp(View()->CursorPosition()); }
    void setCursorPosition(int position) override {
        const size_t p = static_cast<size_t>(std::max(0, position));
        View()->SetSelection(p, p);
    }
    QString text(int start, int end) const override {
        if (end <= start || start < 0) return {};
        return View()->Text(static_cast<size_t>(start), static_cast<size_t>(end - start));
    }
    int characterCount() const override { return Clamp(View()->Length()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int start, int) override { setCursorPosition(start); }
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    ReceiveView* View() const { return static_cast<ReceiveView*>(widget()); }
    static int Clamp(size_t v) { return static_cast<int>(std::min<size_t>(v, INT_MAX)); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("ReceiveView") && object && object->isWidgetType()) {
        return new ReceiveViewAccessible(static_cast<ReceiveView*>(object));
    }
    return nullptr;
}

}  // namespace

void InstallReceiveViewAccessibility() {
    static const bool installed = (QAccessible::installFactory(Factory), true);
    (void)installed;
}
