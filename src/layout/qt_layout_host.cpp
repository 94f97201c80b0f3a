#include "layout/qt_layout_host.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <set>
#include <tuple>

namespace DynamicLayout {

namespace {

QRect ToQRect(const Rect& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }

QColor ToQColor(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QRegion ToQRegion(const Region& region) {
    QRegion q(ToQRect(region.base));
    for (const Rect& hole : region.holes) q -= ToQRect(hole);
    return q;
}

}  // namespace

Rect QtLayoutControl::WindowRect() const {
    const QRect g = m_widget.geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void QtLayoutControl::MoveWindow(const Rect& r) { m_widget.setGeometry(ToQRect(r)); }

void QtLayoutControl::Invalidate(bool) { m_widget.update(); }

void QtLayoutControl::Show(bool show) { m_widget.setVisible(show); }

bool QtLayoutControl::IsVisible() const { return m_widget.isVisible(); }

// Inside a paint event it draws; outside one it marks the area for the next paint, which
// runs the layout's own paint pass and so draws the same from the tree.
class QtLayoutHost::Surface : public LayoutSurface {
public:
    explicit Surface(QtLayoutHost& host) : m_host(host) {}

    void FillRegion(const Region& region, COLORREF color) override {
        if (!m_host.m_painter) return m_host.m_window.update(ToQRegion(region));
        QPainter& p = *m_host.m_painter;
        p.save();
        p.setClipRegion(ToQRegion(region));
        p.fillRect(ToQRect(region.base), ToQColor(color));
        p.restore();
    }

    void Draw3dRect(const Rect& r, COLORREF topLeft, COLORREF bottomRight) override {
        if (!m_host.m_painter) return m_host.m_window.update(ToQRect(r));
        QPainter& p = *m_host.m_painter;
        const int w = r.right - r.left, h = r.bottom - r.top;
        p.fillRect(r.left, r.top, w - 1, 1, ToQColor(topLeft));
        p.fillRect(r.left, r.top, 1, h - 1, ToQColor(topLeft));
        p.fillRect(r.right - 1, r.top, 1, h, ToQColor(bottomRight));
        p.fillRect(r.left, r.bottom - 1, w, 1, ToQColor(bottomRight));
    }

    void InvertLine(int x0, int y0, int x1, int y1, COLORREF color) override;

private:
    QtLayoutHost& m_host;
};

// The splitter's band above every control. Holds the lines that are on screen: inverting a
// line twice takes it off again. Shown only while it holds any, so it costs nothing between
// drags and never sits between the user and the controls' mouse input. Showing or hiding it
// repaints the whole window beneath, so a move (the band erased, then drawn one pixel on)
// keeps it shown; it goes once no line is back by the time the events of the move are done.
class QtLayoutHost::BandOverlay : public QWidget {
public:
    explicit BandOverlay(QWidget& window) : QWidget(&window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setObjectName(QStringLiteral("splitterBand"));
        hide();
    }

    void Invert(int x0, int y0, int x1, int y1, COLORREF color) {
        const Line line{x0, y0, x1, y1};
        if (!m_lines.erase(line)) m_lines.insert(line);
        m_color = ToQColor(color);
        if (m_lines.empty()) {
            QMetaObject::invokeMethod(this, [this] { if (m_lines.empty()) hide(); }, Qt::QueuedConnection);
        } else if (isHidden()) {
            setGeometry(parentWidget()->rect());
            raise();
            show();
        }
        update(QRect(QPoint(std::min(x0, x1), std::min(y0, y1)),
                     QPoint(std::max(x0, x1), std::max(y0, y1))));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
        for (const auto& [x0, y0, x1, y1] : m_lines) {
            // The end point is not part of the line.
            p.fillRect(QRect(QPoint(x0, y0), QPoint(x1 - (x1 > x0), y1 - (y1 > y0))), m_color);
        }
    }

private:
    using Line = std::tuple<int, int, int, int>;
    std::set<Line> m_lines;
    QColor m_color;
};

void QtLayoutHost::Surface::InvertLine(int x0, int y0, int x1, int y1, COLORREF color) {
    m_host.m_overlay->Invert(x0, y0, x1, y1, color);
}

QtLayoutHost::QtLayoutHost(QWidget& window, CDynamicLayout& layout,
                           const std::map<int, QWidget*>& children)
    : m_window(window), m_layout(layout), m_overlay(new BandOverlay(window)) {
    for (const auto& [id, widget] : children) {
        m_children[static_cast<unsigned>(id)] = std::make_unique<QtLayoutControl>(*widget);
    }
    // Hover over the splitter bar needs moves without a button held.
    m_window.setMouseTracking(true);
}

QtLayoutHost::~QtLayoutHost() = default;

void QtLayoutHost::Send(UINT message, WPARAM wParam, LPARAM lParam) {
    m_layout.FilterDynamicLayoutMessage(message, wParam, lParam);
}

void QtLayoutHost::FilterEvent(QEvent* e) {
    switch (e->type()) {
        case QEvent::Resize: {
            const QSize s = static_cast<QResizeEvent*>(e)->size();
            Send(WM_SIZE, m_window.isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED,
                 MakeLParam(s.width(), s.height()));
            break;
        }
        case QEvent::WindowStateChange: {
            // A restore keeps the size, so Qt sends no resize: say it as the window system would.
            const auto old = static_cast<QWindowStateChangeEvent*>(e)->oldState();
            if (m_window.isMinimized()) {
                Send(WM_SIZE, SIZE_MINIMIZED, 0);
            } else if (old & Qt::WindowMinimized) {
                Send(WM_SIZE, m_window.isMaximized() ? SIZE_MAXIMIZED : SIZE_RESTORED,
                     MakeLParam(m_window.width(), m_window.height()));
            }
            break;
        }
        case QEvent::Paint: {
            QPainter painter(&m_window);
            m_painter = &painter;
            Send(WM_PAINT, 0, 0);
            m_painter = nullptr;
            break;
        }
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:  // the window system's dialogs see a second press
        case QEvent::MouseButtonRelease: {
            auto* m = static_cast<QMouseEvent*>(e);
            const QPoint p = m->position().toPoint();
            UINT message = WM_MOUSEMOVE;
            if (e->type() != QEvent::MouseMove) {
                if (m->button() != Qt::LeftButton) break;
                message = e->type() == QEvent::MouseButtonRelease ? WM_LBUTTONUP : WM_LBUTTONDOWN;
            }
            Send(message, 0, MakeLParam(p.x(), p.y()));
            break;
        }
        default:
            break;
    }
}

Rect QtLayoutHost::ClientRect() const { return {0, 0, m_window.width(), m_window.height()}; }

LayoutControlWindow* QtLayoutHost::ChildById(unsigned id) {
    auto it = m_children.find(id);
    return it == m_children.end() ? nullptr : it->second.get();
}

void QtLayoutHost::Invalidate(bool) { m_window.update(); }

void QtLayoutHost::InvalidateRegion(const Region& region, bool) {
    m_window.update(ToQRegion(region));
}

std::unique_ptr<LayoutSurface> QtLayoutHost::GetDC() { return std::make_unique<Surface>(*this); }

// The press on the window already holds the mouse for it until the release (Qt's implicit
// grab); an explicit X pointer grab could outlive a lost release and lock the session.
void QtLayoutHost::SetCapture() {}

void QtLayoutHost::ReleaseCapture() {}

LayoutCursor QtLayoutHost::GetCursor() const {
    if (!m_window.testAttribute(Qt::WA_SetCursor)) return LayoutCursor::Arrow;
    switch (m_window.cursor().shape()) {
        case Qt::SizeHorCursor: return LayoutCursor::SizeWE;
        case Qt::SizeVerCursor: return LayoutCursor::SizeNS;
        default: return LayoutCursor::Arrow;
    }
}

void QtLayoutHost::SetCursor(LayoutCursor cursor) {
    switch (cursor) {
        case LayoutCursor::Arrow: m_window.unsetCursor(); break;
        case LayoutCursor::SizeWE: m_window.setCursor(Qt::SizeHorCursor); break;
        case LayoutCursor::SizeNS: m_window.setCursor(Qt::SizeVerCursor); break;
    }
}

void QtLayoutHost::PostToWindowThread(std::function<void()> work) {
    QMetaObject::invokeMethod(&m_window, std::move(work), Qt::QueuedConnection);
}

}  // namespace DynamicLayout
