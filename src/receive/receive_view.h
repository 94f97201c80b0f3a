#pragma once

#include <QAbstractScrollArea>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "receive/receive_document.h"

// The receive area: a multi-line text view over a ReceiveDocument, built for floods.
// Appending costs O(appended text) whatever the area holds, also one unbroken line of
// 100 MB; lines wrap at the view's width in fixed character cells, computed for the visible
// rows only. Every character is shown (control characters as visible symbols) while the
// text keeps the exact characters. The user can select, copy, scroll and type.
// Window thread only.
class ReceiveView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Cells a row holds; lines wrap there (a line that may hold wide characters at half as
    // many characters).
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
    // True while the newest line is in view, so appends scroll along.
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
    void keyPressEvent(QKeyEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    // Characters a row of `line` holds: half the width's cells where it may hold wide ones.
    int ColumnsOf(size_t line) const;
    int ColumnsOf(size_t line, size_t length) const;  // when its length is at hand
    uint64_t RowsOf(size_t line) const;
    // Where each of `count` characters from `from` starts on its row, and where the last
    // ends, in pixels: a cell each, or as many as each takes when `wide`.
    std::vector<int> CellEdges(size_t from, size_t count, bool wide) const;
    size_t LineOfRow(uint64_t row) const;  // the line that row is part of
    void IndexRowsFrom(size_t line);
    // Rows, caret and repaint after text [oldSize, end) was appended to line `lastLine`.
    void Appended(size_t lastLine, size_t oldSize);
    static int ColumnsFor(int cells, bool pairs);
    void Relayout();
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
    int m_columns = 1;
    bool m_pairLayout = true;
    int m_cellWidth = 8;
    int m_lineHeight = 16;
    size_t m_anchor = 0;
    size_t m_cursor = 0;
    bool m_cursorAtRowEnd = false;  // at a wrap, the caret ends the row above
    uint64_t m_textLimit = 30000;  // an edit's default; the dialog lifts it
    // Appends repaint, move the scroll bar and tell assistive tools at most once a frame: a
    // flood brings thousands of batches a second.
    QTimer m_repaintTimer;
    std::optional<size_t> m_unannounced;  // where the text not yet announced begins
};
