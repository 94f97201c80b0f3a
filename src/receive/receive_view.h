#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "receive/receive_document.h"

// The receive area: a multi-line text view over a ReceiveDocument, built for floods.
// Appending costs O(appended text) whatever the area holds, also one unbroken line of
// 100 MB; lines wrap at the view's width, in fixed character cells where a line is Latin-1
// and by its glyphs' advances where it may hold other characters. Every character is shown
// (control characters as visible symbols) while the text keeps the exact characters. The
// user can select, copy, scroll and type. Window thread only.
class ReceiveView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Cells a row of Latin-1 text holds; lines wrap there. A line that may hold other
    // characters wraps where its next glyph would reach past the edge.
    int Columns() const { return m_columns; }
    // True (the start) while the text is hex pairs: rows then hold whole groups of pairs.
    void SetPairLayout(bool pairs);
    explicit ReceiveView(QWidget* parent = nullptr);

    // Appends Latin-1 text at the end. While the view shows the newest line it follows it
    // and the caret goes to the end; scrolled up, it stays where the user is. The newest
    // line is shown at the next frame (ShowNewestLine), so a flood costs one repaint a frame.
    void Append(std::string_view latin1);
    // Appends text of any characters (a line the program itself writes) the same way.
    void AppendText(std::u16string_view text);
    void ShowNewestLine();
    // True while the newest line is in view and nothing is selected or being selected, so
    // appends scroll along; a selection holds the view where it is until it is let go.
    bool Following() const;
    void SetText(const ReceiveText& text);
    ReceiveText Snapshot() const { return m_doc.Snapshot(); }

    size_t Length() const { return m_doc.Size(); }
    uint64_t TextLimit() const { return m_textLimit; }
    void SetTextLimit(uint64_t limit) { m_textLimit = limit; }
    size_t MemoryBytes() const;

    QString Text(size_t pos, size_t count) const;
    size_t SelectionStart() const { return std::min(m_anchor, m_cursor); }
    size_t SelectionEnd() const { return std::max(m_anchor, m_cursor); }
    size_t CursorPosition() const { return m_cursor; }
    void SetSelection(size_t anchor, size_t cursor);
    QString SelectedText() const { return Text(SelectionStart(), SelectionEnd() - SelectionStart()); }
    void Copy() const;
    // Offers the selected text as the X primary selection, which a middle click pastes, as
    // a selection made by the user does; SetSelection alone does not.
    void OfferSelection() const;
    void Paste();
    // What an input method asks: the caret, and the text around it.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    // "保存显示内容…" was chosen in the context menu.
    void saveShownRequested();
    // Text came at the end while the view stays further up (NewDataMarker shows it).
    void textArrivedOutOfView();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // One row: characters [first, end) of a line that ends at `lineEnd`; `measured` when the
    // line may hold characters above U+00FF, so it is laid out by their glyphs' advances.
    struct Row {
        size_t first, end, lineEnd;
        bool measured;
    };
    bool Measured(size_t line) const;  // costs the line's pieces, not its characters
    int AdvanceOf(char32_t c) const;   // in pixels; a cell for Latin-1 and controls
    // The first character of the row after the one that starts at `from`, or `lineEnd`.
    // `edges` gets where each character of the row starts, and where the last ends, in pixels
    // (a surrogate pair's width split between its halves).
    size_t RowEnd(size_t from, size_t lineEnd, bool measured, std::vector<int>* edges = nullptr) const;
    // Walks glyphs from `from` while they fit in `room` pixels (one at least), as RowEnd;
    // `walked` gets the pixels of a walk that reached `lineEnd`.
    size_t WalkGlyphs(size_t from, size_t lineEnd, int64_t room, std::vector<int>* edges, int64_t* walked) const;
    Row RowAt(uint64_t row) const;
    std::vector<int> EdgesOf(const Row& row) const;
    // The character whose middle lies right of `x` on `row`; past the row, the row's end.
    size_t PositionInRow(uint64_t row, int x) const;
    uint64_t CountRows(size_t line);
    size_t LineOfRow(uint64_t row) const;  // the line that row is part of
    void IndexRowsFrom(size_t line);
    void IndexAllRows(bool textChanged);  // after a change of the width or of text laid out
    // Rows, caret and repaint after text [oldSize, end) was appended to line `lastLine`.
    void Appended(size_t lastLine, size_t oldSize);
    static int ColumnsFor(int cells, bool pairs);
    void Relayout(bool textChanged = false);
    void UpdateScrollRange();
    uint64_t RowOf(size_t pos) const;
    uint64_t CursorRow() const;
    // The positions one character before and after `pos`, a "\r\n" and a surrogate pair
    // each counting as one.
    size_t Before(size_t pos) const;
    size_t After(size_t pos) const;
    // `pos`, or the start of the surrogate pair it falls inside: a cell is one UTF-16 unit, so
    // a click, a row's end or a step to another row can land between the two halves.
    size_t CharacterStart(size_t pos) const;
    size_t PositionAt(const QPoint& point) const;
    void EnsureCursorVisible();
    void MoveCursor(size_t pos, bool extend, bool atRowEnd = false);
    void ReplaceSelection(std::u16string_view text);
    int VisibleRows() const;
    QRect CaretRect() const;  // in the view's coordinates

    ReceiveDocument m_doc;
    PagedVector<uint64_t> m_rowStarts{0, 1};  // first row of each line; one past the last
    // Where each row starts, for measured lines of more than a few rows: finding a row of a
    // long line then needs no walk from its start, and an append to it walks only its last row.
    std::unordered_map<size_t, std::vector<size_t>> m_rowFirsts;
    PagedVector<uint32_t> m_lineWidths;  // in pixels, of finished lines; 0 for Latin-1 ones
    // Advances of characters above U+00FF met so far, plus one (0: not yet measured).
    mutable std::vector<uint16_t> m_advances;
    mutable std::unordered_map<char32_t, int> m_pairAdvances;  // beyond U+FFFF
    int m_columns = 1;
    int m_rowWidth = 8;  // pixels, a whole number of cells
    bool m_pairLayout = true;
    int m_cellWidth = 8;
    int m_lineHeight = 16;
    size_t m_anchor = 0;
    bool m_leftHeld = false;  // a mouse selection may be under way
    size_t m_cursor = 0;
    bool m_cursorAtRowEnd = false;  // at a wrap, the caret ends the row above
    uint64_t m_textLimit = 30000;  // an edit's default; the dialog lifts it
    // Appends repaint, move the scroll bar and tell assistive tools at most once a frame: a
    // flood brings thousands of batches a second.
    QTimer m_repaintTimer;
    std::optional<size_t> m_unannounced;  // where the text not yet announced begins
};
