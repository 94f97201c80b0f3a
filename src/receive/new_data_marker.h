#pragma once

#include <QToolButton>

class ReceiveView;

// A small sign at the bottom right of the receive area that text came below while the user
// reads further up (after a find, a selection or a scroll): the view then keeps its place.
// A click on it, or Ctrl+End, goes back to the newest text, which the view then follows
// again; it goes away once the newest line is in view. Hidden until text comes out of sight.
// Window thread only; a child of the view it watches.
class NewDataMarker : public QToolButton {
    Q_OBJECT

public:
    explicit NewDataMarker(ReceiveView* view);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Place();
    void HideWhenFollowing();

    ReceiveView* m_view;
};
