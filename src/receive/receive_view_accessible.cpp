#include "receive/receive_view_accessible.h"

#include <QAccessibleWidget>
#include <algorithm>
#include <climits>
#include <utility>

#include "receive/receive_view.h"

namespace {

// The most one answer carries. The area may hold hundreds of millions of characters, and a
// bus message over its limit ends the program's whole connection to the bus: asked for more,
// a screen reader gets the start of it and reads on by offsets or by line.
constexpr int kMaxAnswer = 1 << 20;
// Lines, words and sentences are looked for this far either side of the offset asked about;
// a longer line is read in parts of this size.
constexpr int kReach = 1 << 12;

// A stretch of the text, on which Qt's own rules for characters, words, sentences and lines
// run as on a whole text: as they stand, they read the whole text for each call.
class TextStretch : public QAccessibleTextInterface {
public:
    explicit TextStretch(QString text) : m_text(std::move(text)) {}
    const QString& Text() const { return m_text; }
    QString text(int start, int end) const override { return m_text.mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(m_text.size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }

private:
    QString m_text;
};

// Asks for the item before an offset, at it or after it.
using ItemQuery = QString (QAccessibleTextInterface::*)(int, QAccessible::TextBoundaryType, int*,
                                                        int*) const;

class ReceiveViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ReceiveViewAccessible(ReceiveView* view)
        : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return text(0, characterCount());
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
        QString answer = View()->Text(static_cast<size_t>(start),
                                      static_cast<size_t>(std::min(end - start, kMaxAnswer)));
        if (answer.size() == kMaxAnswer && answer.back().isHighSurrogate()) answer.chop(1);
        return answer;
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                             int* end) const override {
        return Near(&QAccessibleTextInterface::textBeforeOffset, offset, type, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                         int* end) const override {
        return Near(&QAccessibleTextInterface::textAtOffset, offset, type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start,
                            int* end) const override {
        return Near(&QAccessibleTextInterface::textAfterOffset, offset, type, start, end);
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

    // The item from the text within reach of `offset`, placed back in the whole text.
    QString Near(ItemQuery query, int offset, QAccessible::TextBoundaryType type, int* start,
                 int* end) const {
        const int count = characterCount();
        if (offset == -1) offset = count;  // the end, by the bus's convention
        *start = *end = -1;
        if (offset < 0 || offset > count) return {};
        if (type == QAccessible::NoBoundary) {
            const QString all = text(0, count);
            *start = 0;
            *end = static_cast<int>(all.size());
            return all;
        }
        const int from = offset - std::min(offset, kReach);
        const TextStretch stretch(text(from, std::min(count, offset + kReach)));
        (stretch.*query)(offset - from, type, start, end);
        if (*start < 0 || *end < *start) return {};
        const QString found = stretch.Text().mid(*start, *end - *start);
        *start += from;
        *end += from;
        return found;
    }
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
