#pragma once

#include <QFrame>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "receive/find_session.h"

class QBoxLayout;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class ReceiveView;

// The find bar: over the top right edge of the receive area, one row where it fits and two
// where it does not, hidden until opened, so the window's layout never moves for it. It
// looks for what is typed as it is typed and selects the match; the count follows the text
// as data keeps arriving, a poll behind.
// The search runs in slices between the window's events (FindSession). Keys typed in the
// bar stay in it: Esc closes the bar only, Enter goes to the next match, Shift+Enter to the
// previous one. Window thread only; a child of the view it searches.
class FindBar : public QFrame {
    Q_OBJECT

public:
    explicit FindBar(ReceiveView* view);

    // Shows the bar with the field's text selected; a short selection of the area becomes
    // what is looked for.
    void Open();
    void FindNext(bool forward);
    // How the area shows bytes, which hex patterns look for: as pairs or as characters.
    void SetHexPairs(bool pairs);
    // How the area reads bytes as text; a hex pattern is looked for as those characters.
    void SetTextEncoding(TextEncoding encoding);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Close();
    void Restart();  // the pattern or its options changed
    void Work();
    void ShowMatch(size_t pos);
    void ShowCount();
    void Place();  // sized to what it holds now

    ReceiveView* m_view;
    QLineEdit* m_field;
    QCheckBox* m_matchCase;
    QCheckBox* m_hex;
    QLabel* m_count;
    QHBoxLayout* m_pattern;  // the field and its options
    QHBoxLayout* m_steps;    // the count and the buttons
    QBoxLayout* m_rows;      // the two side by side, or one above the other
    bool m_hexPairs = true;
    TextEncoding m_encoding = TextEncoding::Bytes;
    std::optional<FindSession> m_session;
    std::optional<size_t> m_match;       // selected by the last seek
    std::optional<uint64_t> m_number;    // its number, once counted
    QTimer m_work;
};
