#include "receive/new_data_marker.h"

#include <QEvent>
#include <QScrollBar>

#include "receive/receive_view.h"

namespace {

constexpr int kMargin = 6;

}  // namespace

NewDataMarker::NewDataMarker(ReceiveView* view) : QToolButton(view), m_view(view) {
    setObjectName(QStringLiteral("NewDataMarker"));
    setText(QStringLiteral("↓ 下方有新数据"));
    // Read as it shows, and the way back told as the tooltip tells it.
    setToolTip(QStringLiteral("回到最新数据 (Ctrl+End)"));
    setAccessibleDescription(toolTip());
    // The keyboard stays in the area: Ctrl+End does there what a click does here.
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAutoFillBackground(true);
    connect(this, &QToolButton::clicked, this, [this] {
        m_view->SetSelection(m_view->Length(), m_view->Length());  // a selection holds the view
        QScrollBar* bar = m_view->verticalScrollBar();
        bar->setValue(bar->maximum());
    });
    connect(view, &ReceiveView::textArrivedOutOfView, this, [this] {
        if (!isHidden()) return;
        show();
        raise();
        Place();
    });
    connect(view->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &NewDataMarker::HideWhenFollowing);
    connect(view->verticalScrollBar(), &QScrollBar::rangeChanged, this,
            &NewDataMarker::HideWhenFollowing);
    view->installEventFilter(this);
    hide();
}

void NewDataMarker::HideWhenFollowing() {
    if (!isHidden() && m_view->Following()) hide();
}

void NewDataMarker::Place() {
    const QRect area = m_view->viewport()->geometry();
    const QSize size = sizeHint();
    move(area.right() + 1 - kMargin - size.width(), area.bottom() + 1 - kMargin - size.height());
    resize(size);
}

bool NewDataMarker::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_view && e->type() == QEvent::Resize && !isHidden()) Place();
    return QToolButton::eventFilter(watched, e);
}
