#include "receive/receive_view.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <climits>

#include "receive/new_data_marker.h"
#include "receive/receive_view_accessible.h"

namespace {

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// A measured line is walked no further than this many rows to find one of its rows; a
// longer one keeps where its rows start.
constexpr uint64_t kWalkedRows = 16;

// What one event tells assistive tools at most: no one listens to megabytes, and sending them
// over the bus would slow everything. The whole text stays readable through the accessible
// text interface.
constexpr size_t kMaxAnnounced = 16 * 1024;

// A fifth of the way from `background` to `ink`: a shade that stands out from the
// background and under which the ink still reads, light palette or dark.
QColor ControlShade(const QColor& background, const QColor& ink) {
    auto mix = [](int b, int i) { return b + (i - b) / 5; };
    return QColor(mix(background.red(), ink.red()), mix(background.green(), ink.green()),
                  mix(background.blue(), ink.blue()));
}

// A control character has no glyph in most fonts: it is shown as a shaded cell with its two
// hex digits stacked, so every byte stays visible and tells which it is.
void DrawControl(QPainter& p, const QRect& cell, char16_t c, const QFont& font, const QColor& shade) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    p.save();
    p.fillRect(cell.adjusted(0, 0, -1, 0), shade);
    QFont small = font;
    small.setPixelSize(std::max(6, cell.height() / 2));
    small.setWeight(QFont::DemiBold);
    p.setFont(small);
    const int half = cell.height() / 2;
    p.drawText(QRect(cell.x(), cell.y(), cell.width(), half), Qt::AlignCenter,
               QString(QLatin1Char(kDigits[(c >> 4) & 0xF])));
    p.drawText(QRect(cell.x(), cell.y() + half, cell.width(), half), Qt::AlignCenter,
               QString(QLatin1Char(kDigits[c & 0xF])));
    p.restore();
}

// What the X primary selection offers: text spelled out only when a program asks to paste
// it, from a snapshot, so selecting all of a hundred megabytes costs nothing until then.
class SelectedTextData : public QMimeData {
public:
    SelectedTextData(ReceiveText text, size_t pos, size_t count)
        : m_text(std::move(text)), m_pos(pos), m_count(count) {}
    QStringList formats() const override { return {QStringLiteral("text/plain")}; }
    bool hasFormat(const QString& format) const override { return formats().contains(format); }

protected:
    QVariant retrieveData(const QString& format, QMetaType) const override {
        if (!hasFormat(format)) return {};
        QString text(static_cast<qsizetype>(m_count), Qt::Uninitialized);
        m_text.CopyTo(reinterpret_cast<char16_t*>(text.data()), m_pos, m_count);
        return text;
    }

private:
    ReceiveText m_text;
    size_t m_pos, m_count;
};

}  // namespace

ReceiveView::ReceiveView(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallReceiveViewAccessibility();
    new NewDataMarker(this);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(10);
    viewport()->setFont(mono);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFontMetrics fm(mono);
    m_cellWidth = std::max(1, fm.horizontalAdvance(QLatin1Char('0')));
    m_lineHeight = std::max(1, fm.height());
    m_repaintTimer.setSingleShot(true);
    m_repaintTimer.setInterval(16);
    connect(&m_repaintTimer, &QTimer::timeout, this, &ReceiveView::ShowNewestLine);
}

size_t ReceiveView::MemoryBytes() const {
    return m_doc.MemoryBytes() + m_rowStarts.capacity() * sizeof(uint64_t) + m_lineWidths.capacity() * sizeof(uint32_t);
}

QString ReceiveView::Text(size_t pos, size_t count) const {
    pos = std::min(pos, m_doc.Size());
    count = std::min(count, m_doc.Size() - pos);
    QString text(static_cast<qsizetype>(count), Qt::Uninitialized);
    m_doc.CopyTo(reinterpret_cast<char16_t*>(text.data()), pos, count);
    return text;
}

bool ReceiveView::Measured(size_t line) const {
    const size_t start = m_doc.LineStart(line);
    return m_doc.HasTextAboveLatin1(start, start + m_doc.LineLength(line));
}

int ReceiveView::AdvanceOf(char32_t c) const {
    if (c < 0x100) return m_cellWidth;  // the font's own, and controls are drawn in a cell
    if (c > 0xFFFF) {
        auto [at, added] = m_pairAdvances.try_emplace(c, 0);
        if (added) at->second = QFontMetrics(viewport()->font()).horizontalAdvance(QString::fromUcs4(&c, 1));
        return at->second;
    }
    // Chinese glyphs come from a fallback font whatever their width; each is asked once.
    if (m_advances.empty()) m_advances.resize(0x10000);
    uint16_t& advance = m_advances[c];
    if (advance == 0) {
        const QChar ch(static_cast<char16_t>(c));
        const int w = ch.isSurrogate() ? m_cellWidth : QFontMetrics(viewport()->font()).horizontalAdvance(ch);
        advance = static_cast<uint16_t>(std::clamp(w, 0, 0xFFFE) + 1);
    }
    return advance - 1;
}

size_t ReceiveView::RowEnd(size_t from, size_t lineEnd, bool measured, std::vector<int>* edges) const {
    if (!measured) {
        const size_t end = std::min<size_t>(from + static_cast<size_t>(m_columns), lineEnd);
        for (size_t i = from; edges && i <= end; ++i) edges->push_back(static_cast<int>(i - from) * m_cellWidth);
        return end;
    }
    return WalkGlyphs(from, lineEnd, m_rowWidth, edges, nullptr);
}

size_t ReceiveView::WalkGlyphs(size_t from, size_t lineEnd, int64_t room, std::vector<int>* edges,
                               int64_t* walked) const {
    // A piece at a time out of the store; a surrogate pair whole, so no row splits one.
    char16_t text[256];
    int64_t x = 0;
    if (edges) edges->push_back(0);
    for (size_t pos = from; pos < lineEnd;) {
        const size_t n = std::min(std::size(text), lineEnd - pos);
        m_doc.CopyTo(text, pos, n);
        size_t i = 0;
        while (i < n) {
            const bool high = QChar::isHighSurrogate(text[i]);
            if (high && i + 1 == n && pos + n < lineEnd && i > 0) break;  // its other half comes next
            const bool pair = high && i + 1 < n && QChar::isLowSurrogate(text[i + 1]);
            const int w = AdvanceOf(pair ? QChar::surrogateToUcs4(text[i], text[i + 1]) : text[i]);
            if (x + w > room && pos + i > from) return pos + i;
            if (edges && pair) edges->push_back(static_cast<int>(x + w / 2));
            if (edges) edges->push_back(static_cast<int>(x + w));
            x += w;
            i += pair ? 2 : 1;
        }
        pos += i;
    }
    if (walked) *walked = x;
    return lineEnd;
}

ReceiveView::Row ReceiveView::RowAt(uint64_t row) const {
    const size_t line = LineOfRow(row);
    const size_t start = m_doc.LineStart(line), lineEnd = start + m_doc.LineLength(line);
    const uint64_t inLine = row - m_rowStarts[line];
    const bool measured = Measured(line);
    size_t first = std::min<size_t>(start + inLine * static_cast<size_t>(m_columns), lineEnd);
    if (measured) {
        const auto kept = m_rowFirsts.find(line);
        if (kept != m_rowFirsts.end()) {
            first = kept->second[inLine];
        } else {
            first = start;
            for (uint64_t r = 0; r < inLine; ++r) first = RowEnd(first, lineEnd, true);
        }
    }
    return {first, RowEnd(first, lineEnd, measured), lineEnd, measured};
}

std::vector<int> ReceiveView::EdgesOf(const Row& row) const {
    std::vector<int> edges;
    edges.reserve(row.end - row.first + 1);
    RowEnd(row.first, row.lineEnd, row.measured, &edges);
    return edges;
}

uint64_t ReceiveView::CountRows(size_t line) {
    const size_t start = m_doc.LineStart(line), lineEnd = start + m_doc.LineLength(line);
    if (!Measured(line)) {
        const size_t columns = static_cast<size_t>(m_columns);
        return lineEnd == start ? 1 : (lineEnd - start + columns - 1) / columns;
    }
    if (line < m_lineWidths.size() && m_lineWidths[line] <= static_cast<uint32_t>(m_rowWidth)) return 1;
    auto kept = m_rowFirsts.find(line);
    if (kept == m_rowFirsts.end()) {
        uint64_t rows = 1;
        for (size_t first = start; rows <= kWalkedRows && (first = RowEnd(first, lineEnd, true)) < lineEnd;) ++rows;
        if (rows <= kWalkedRows) return rows;
        kept = m_rowFirsts.emplace(line, std::vector<size_t>{start}).first;
    }
    // From the last row known: text was only added after it since.
    std::vector<size_t>& firsts = kept->second;
    for (size_t next; (next = RowEnd(firsts.back(), lineEnd, true)) < lineEnd;) firsts.push_back(next);
    return firsts.size();
}

size_t ReceiveView::LineOfRow(uint64_t row) const {
    return m_rowStarts.PartitionPoint(0, [row](uint64_t start) { return start <= row; }) - 1;
}

void ReceiveView::IndexRowsFrom(size_t line) {
    // Each finished measured line's width, found once: one narrower than a row needs no walk
    // when rows change width. The newest line may still grow.
    while (m_lineWidths.size() + 1 < m_doc.LineCount()) {
        const size_t l = m_lineWidths.size(), start = m_doc.LineStart(l);
        int64_t width = 0;
        if (Measured(l)) WalkGlyphs(start, start + m_doc.LineLength(l), INT64_MAX, nullptr, &width);
        m_lineWidths.push_back(static_cast<uint32_t>(std::min<int64_t>(width, UINT32_MAX)));
    }
    m_rowStarts.resize(m_doc.LineCount() + 1);
    for (size_t l = line; l < m_doc.LineCount(); ++l) m_rowStarts[l + 1] = m_rowStarts[l] + CountRows(l);
}

void ReceiveView::IndexAllRows(bool textChanged) {
    if (textChanged) m_lineWidths.resize(0);
    m_rowFirsts.clear();
    IndexRowsFrom(0);
}

int ReceiveView::VisibleRows() const { return std::max(1, viewport()->height() / m_lineHeight); }

void ReceiveView::UpdateScrollRange() {
    const uint64_t total = m_rowStarts.back();
    const uint64_t visible = static_cast<uint64_t>(VisibleRows());
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(VisibleRows());
    bar->setSingleStep(1);
    bar->setRange(0, static_cast<int>(std::min<uint64_t>(total > visible ? total - visible : 0, INT_MAX)));
}

int ReceiveView::ColumnsFor(int cells, bool pairs) {
    // Hex: whole "XX " pairs, so none is split across rows, and whole groups of 16 bytes
    // where they fit (else of 8), so records of 16, 32 or 64 bytes line up in columns. A
    // row's last space may hang past the edge. Text uses the whole width.
    constexpr int kPair = 3;
    if (pairs) {
        for (int group : {16, 8, 1}) {
            if (cells + 1 >= group * kPair) return (cells + 1) / (group * kPair) * group * kPair;
        }
    }
    return std::max(1, cells);
}

void ReceiveView::SetPairLayout(bool pairs) {
    if (pairs == m_pairLayout) return;
    m_pairLayout = pairs;
    Relayout();
    viewport()->update();
}

void ReceiveView::Relayout(bool textChanged) {
    // Rows change with the width, the display mode and edits: whoever read the newest line
    // keeps reading it.
    const bool follow = Following();
    const int cells = viewport()->width() / m_cellWidth;
    m_columns = ColumnsFor(cells, m_pairLayout);
    m_rowWidth = std::max(1, cells) * m_cellWidth;  // hex rows' grouping is no matter to text
    IndexAllRows(textChanged);
    UpdateScrollRange();
    if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool ReceiveView::Following() const {
    const QScrollBar* bar = verticalScrollBar();
    return bar->value() >= bar->maximum() && m_anchor == m_cursor && !m_leftHeld;
}

void ReceiveView::Append(std::string_view latin1) {
    const size_t lastLine = m_doc.LineCount() - 1;
    const size_t oldSize = m_doc.Size();
    m_doc.AppendLatin1(latin1);
    Appended(lastLine, oldSize);
}

void ReceiveView::AppendText(std::u16string_view text) {
    const size_t lastLine = m_doc.LineCount() - 1;
    const size_t oldSize = m_doc.Size();
    m_doc.AppendUtf16(text);
    Appended(lastLine, oldSize);
}

void ReceiveView::Appended(size_t lastLine, size_t oldSize) {
    IndexRowsFrom(lastLine);
    // Someone reading further up keeps their place and their selection.
    if (Following()) {
        m_anchor = m_cursor = m_doc.Size();
        m_cursorAtRowEnd = false;
    }
    if (!m_repaintTimer.isActive()) m_repaintTimer.start();
    if (!m_unannounced) m_unannounced = oldSize;
}

void ReceiveView::ShowNewestLine() {
    m_repaintTimer.stop();
    const bool arrived = m_unannounced && *m_unannounced < m_doc.Size();
    // One insertion a frame for assistive tools, however many batches came, and only the
    // newest of a flood.
    if (arrived && QAccessible::isActive()) {
        const size_t from = std::max(*m_unannounced, m_doc.Size() - std::min(m_doc.Size(), kMaxAnnounced));
        QAccessibleTextInsertEvent event(this, static_cast<int>(std::min<size_t>(from, INT_MAX)),
                                         Text(from, m_doc.Size() - from));
        QAccessible::updateAccessibility(&event);
    }
    m_unannounced.reset();
    const bool follow = Following();  // decided on the range the user saw
    UpdateScrollRange();
    if (follow) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
    if (arrived && !follow) emit textArrivedOutOfView();
}

void ReceiveView::SetText(const ReceiveText& text) {
    if (m_repaintTimer.isActive()) ShowNewestLine();  // what came before the edit is told first
    // Assistive tools are told what went and what came: an update without them is invalid.
    const bool tell = QAccessible::isActive() && (Length() > 0 || text.Size() > 0);
    const QString old = tell ? Text(0, std::min(Length(), kMaxAnnounced)) : QString();
    m_doc.SetText(text);
    m_anchor = m_cursor = 0;
    m_cursorAtRowEnd = false;
    IndexAllRows(true);
    UpdateScrollRange();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    if (tell) {
        QAccessibleTextUpdateEvent event(this, 0, old, Text(0, std::min(Length(), kMaxAnnounced)));
        QAccessible::updateAccessibility(&event);
    }
}

void ReceiveView::SetSelection(size_t anchor, size_t cursor) {
    if (m_repaintTimer.isActive()) ShowNewestLine();
    m_anchor = CharacterStart(anchor);
    m_cursor = CharacterStart(cursor);
    m_cursorAtRowEnd = false;
    EnsureCursorVisible();
    viewport()->update();
}

void ReceiveView::Paste() {
    const QString text = QApplication::clipboard()->text();
    ReplaceSelection({reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())});
}

void ReceiveView::OfferSelection() const {
    QClipboard* clipboard = QApplication::clipboard();
    if (SelectionEnd() == SelectionStart() || !clipboard->supportsSelection()) return;
    clipboard->setMimeData(new SelectedTextData(m_doc.Snapshot(), SelectionStart(), SelectionEnd() - SelectionStart()),
                           QClipboard::Selection);
}

void ReceiveView::Copy() const {
    if (SelectionEnd() > SelectionStart()) QApplication::clipboard()->setText(SelectedText());
}

uint64_t ReceiveView::RowOf(size_t pos) const {
    const size_t line = m_doc.LineOf(pos);
    const size_t start = m_doc.LineStart(line), lineEnd = start + m_doc.LineLength(line);
    pos = std::min(pos, lineEnd);
    const uint64_t rows = m_rowStarts[line + 1] - m_rowStarts[line];
    if (!Measured(line)) return m_rowStarts[line] + std::min<uint64_t>((pos - start) / m_columns, rows - 1);
    const auto kept = m_rowFirsts.find(line);
    if (kept != m_rowFirsts.end()) {
        const std::vector<size_t>& firsts = kept->second;
        return m_rowStarts[line] + (std::upper_bound(firsts.begin(), firsts.end(), pos) - firsts.begin() - 1);
    }
    uint64_t inLine = 0;
    for (size_t next = start; inLine + 1 < rows && (next = RowEnd(next, lineEnd, true)) <= pos;) ++inLine;
    return m_rowStarts[line] + inLine;
}

uint64_t ReceiveView::CursorRow() const {
    // At a wrap the same position ends one row and starts the next: End leaves the caret
    // at the end of its row.
    const uint64_t row = RowOf(m_cursor);
    const bool atWrap = m_cursorAtRowEnd && row > m_rowStarts[m_doc.LineOf(m_cursor)] && RowAt(row).first == m_cursor;
    return atWrap ? row - 1 : row;
}

size_t ReceiveView::Before(size_t pos) const {
    if (pos >= 2) {
        const char16_t a = m_doc.At(pos - 2), b = m_doc.At(pos - 1);
        if ((a == u'\r' && b == u'\n') || (QChar::isHighSurrogate(a) && QChar::isLowSurrogate(b))) return pos - 2;
    }
    return pos > 0 ? pos - 1 : 0;
}

size_t ReceiveView::After(size_t pos) const {
    if (pos + 1 < m_doc.Size()) {
        const char16_t a = m_doc.At(pos), b = m_doc.At(pos + 1);
        if ((a == u'\r' && b == u'\n') || (QChar::isHighSurrogate(a) && QChar::isLowSurrogate(b))) return pos + 2;
    }
    return std::min(pos + 1, m_doc.Size());
}

size_t ReceiveView::PositionAt(const QPoint& point) const {
    // Points above or below the view reach rows outside it, so a drag there scrolls.
    const int64_t top = verticalScrollBar()->value();
    const int64_t rowsAway = point.y() >= 0 ? point.y() / m_lineHeight : (point.y() + 1) / m_lineHeight - 1;
    const uint64_t row = static_cast<uint64_t>(
        std::clamp<int64_t>(top + rowsAway, 0, static_cast<int64_t>(m_rowStarts.back()) - 1));
    return PositionInRow(row, point.x());
}

size_t ReceiveView::PositionInRow(uint64_t row, int x) const {
    const Row r = RowAt(row);
    const std::vector<int> edges = EdgesOf(r);
    size_t i = 0;
    while (i + 1 < edges.size() && x >= (edges[i] + edges[i + 1]) / 2) ++i;
    return r.first + i;
}

void ReceiveView::EnsureCursorVisible() {
    QScrollBar* bar = verticalScrollBar();
    const uint64_t row = CursorRow();
    if (row < static_cast<uint64_t>(bar->value())) {
        bar->setValue(static_cast<int>(std::min<uint64_t>(row, INT_MAX)));
    } else if (row >= static_cast<uint64_t>(bar->value()) + VisibleRows()) {
        bar->setValue(static_cast<int>(std::min<uint64_t>(row - VisibleRows() + 1, INT_MAX)));
    }
}

size_t ReceiveView::CharacterStart(size_t pos) const {
    pos = std::min(pos, m_doc.Size());
    if (pos == 0 || pos == m_doc.Size()) return pos;
    const bool insidePair =
        QChar::isHighSurrogate(m_doc.At(pos - 1)) && QChar::isLowSurrogate(m_doc.At(pos));
    return insidePair ? pos - 1 : pos;
}

void ReceiveView::MoveCursor(size_t pos, bool extend, bool atRowEnd) {
    m_cursor = CharacterStart(pos);
    m_cursorAtRowEnd = atRowEnd;
    if (!extend) m_anchor = m_cursor;
    EnsureCursorVisible();
    viewport()->update();
}

void ReceiveView::ReplaceSelection(std::u16string_view text) {
    if (m_repaintTimer.isActive()) ShowNewestLine();  // what came before the edit is told first
    const size_t start = SelectionStart();
    const QString replaced =
        QAccessible::isActive() ? Text(start, std::min(SelectionEnd() - start, kMaxAnnounced)) : QString();
    m_doc.Replace(start, SelectionEnd() - start, text);
    m_anchor = m_cursor = start + text.size();
    m_cursorAtRowEnd = false;
    Relayout(true);
    EnsureCursorVisible();
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent event(
            this, static_cast<int>(std::min<size_t>(start, INT_MAX)), replaced,
            QString(reinterpret_cast<const QChar*>(text.data()),
                    static_cast<qsizetype>(std::min(text.size(), kMaxAnnounced))));
        QAccessible::updateAccessibility(&event);
    }
}

void ReceiveView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const uint64_t top = static_cast<uint64_t>(verticalScrollBar()->value());
    const uint64_t rows = static_cast<uint64_t>(VisibleRows()) + 1;
    const size_t selStart = SelectionStart(), selEnd = SelectionEnd();
    const int ascent = QFontMetrics(viewport()->font()).ascent();

    // The rows of a line follow one another: only the first in view is looked for.
    Row row{};
    for (uint64_t r = 0; r < rows && top + r < m_rowStarts.back(); ++r) {
        row = r > 0 && row.end < row.lineEnd ? Row{row.end, RowEnd(row.end, row.lineEnd, row.measured), row.lineEnd,
                                                   row.measured}
                                             : RowAt(top + r);
        const size_t from = row.first, count = row.end - row.first;
        const int y = static_cast<int>(r) * m_lineHeight;
        const std::vector<int> x = EdgesOf(row);

        const size_t a = std::max(from, selStart), b = std::min(from + count, selEnd);
        if (a < b) {
            p.fillRect(x[a - from], y, x[b - from] - x[a - from], m_lineHeight, pal.brush(group, QPalette::Highlight));
        }
        QString shown(static_cast<qsizetype>(count), Qt::Uninitialized);
        m_doc.CopyTo(reinterpret_cast<char16_t*>(shown.data()), from, count);
        // Measured rows go glyph by glyph, each where its advance was counted.
        const bool plain = !row.measured && std::none_of(shown.cbegin(), shown.cend(), [](QChar c) {
            return IsControl(c.unicode());
        });
        auto drawRun = [&](size_t first, size_t last, const QColor& color, const QColor& background) {
            p.setPen(color);
            if (plain) {
                p.drawText(x[first], y + ascent,
                           shown.mid(static_cast<qsizetype>(first), static_cast<qsizetype>(last - first)));
                return;
            }
            // A surrogate pair is drawn whole from its first half.
            for (size_t i = first; i < last; ++i) {
                const QRect cell(x[i], y, x[i + 1] - x[i], m_lineHeight);
                const QChar c = shown[static_cast<qsizetype>(i)];
                if (IsControl(c.unicode())) {
                    DrawControl(p, cell, c.unicode(), viewport()->font(), ControlShade(background, color));
                } else if (c.isHighSurrogate() && i + 1 < count) {
                    p.drawText(cell.x(), y + ascent, shown.mid(static_cast<qsizetype>(i), 2));
                } else if (!c.isLowSurrogate() || i == 0) {
                    p.drawText(cell.x(), y + ascent, QString(c));
                }
            }
        };
        drawRun(0, count, pal.color(group, QPalette::Text), pal.color(group, QPalette::Base));
        if (a < b) {
            p.setClipRect(x[a - from], y, x[b - from] - x[a - from], m_lineHeight);
            drawRun(a - from, b - from, pal.color(group, QPalette::HighlightedText),
                    pal.color(group, QPalette::Highlight));
            p.setClipping(false);
        }
    }
    if (hasFocus() && isEnabled()) {
        const QRect caret = CaretRect().translated(-viewport()->pos());
        if (caret.intersects(viewport()->rect())) p.fillRect(caret, pal.color(group, QPalette::Text));
    }
}

QRect ReceiveView::CaretRect() const {
    const int64_t top = verticalScrollBar()->value();
    const uint64_t row = CursorRow();
    const Row r = RowAt(row);
    const std::vector<int> edges = EdgesOf(r);
    const QPoint origin = viewport()->pos();
    return {origin.x() + edges[std::min(m_cursor - std::min(m_cursor, r.first), edges.size() - 1)],
            origin.y() + static_cast<int>(static_cast<int64_t>(row) - top) * m_lineHeight, 1, m_lineHeight};
}

void ReceiveView::inputMethodEvent(QInputMethodEvent* e) {
    // What an input method (ibus, fcitx) commits is typed text; its preedit stays in the
    // input method's own window.
    const QString text = e->commitString();
    if (!text.isEmpty() || e->replacementLength() > 0) {
        if (e->replacementLength() > 0) {
            const int64_t from = static_cast<int64_t>(m_cursor) + e->replacementStart();
            m_anchor = static_cast<size_t>(std::clamp<int64_t>(from, 0, static_cast<int64_t>(m_doc.Size())));
            m_cursor = std::min(m_anchor + static_cast<size_t>(e->replacementLength()), m_doc.Size());
        }
        ReplaceSelection({reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())});
    }
    e->accept();
}

QVariant ReceiveView::inputMethodQuery(Qt::InputMethodQuery query) const {
    // Around the caret only: the area may hold a hundred megabytes.
    constexpr size_t kAround = 256;
    const size_t from = m_cursor > kAround ? m_cursor - kAround : 0;
    switch (query) {
        case Qt::ImEnabled: return isEnabled();
        case Qt::ImCursorRectangle: return CaretRect();
        case Qt::ImFont: return viewport()->font();
        case Qt::ImSurroundingText: return Text(from, 2 * kAround);
        case Qt::ImCursorPosition: return static_cast<int>(m_cursor - from);
        case Qt::ImAnchorPosition:
            return static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(m_anchor) - static_cast<int64_t>(from), 0,
                                                        static_cast<int64_t>(2 * kAround)));
        case Qt::ImCurrentSelection: return SelectedText().left(static_cast<qsizetype>(kAround));
        case Qt::ImHints: return static_cast<int>(Qt::ImhMultiLine);
        default: return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void ReceiveView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    Relayout();
}

void ReceiveView::mousePressEvent(QMouseEvent* e) {
    if (m_repaintTimer.isActive()) ShowNewestLine();
    if (e->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(e);
    m_leftHeld = true;
    MoveCursor(PositionAt(e->position().toPoint()), e->modifiers() & Qt::ShiftModifier);
}

void ReceiveView::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) MoveCursor(PositionAt(e->position().toPoint()), true);
}

void ReceiveView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        m_leftHeld = false;
        OfferSelection();
    }
    QAbstractScrollArea::mouseReleaseEvent(e);
}

void ReceiveView::keyPressEvent(QKeyEvent* e) {
    if (m_repaintTimer.isActive()) ShowNewestLine();
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const std::pair selected{m_anchor, m_cursor};
    const uint64_t row = CursorRow();
    const Row current = RowAt(row);
    // Up and down keep the caret's x; landing at a wrap, it stays at the end of its row.
    auto toRow = [&](int64_t delta) {
        const std::vector<int> edges = EdgesOf(current);
        const int x = edges[std::min(m_cursor - std::min(m_cursor, current.first), edges.size() - 1)];
        const uint64_t target = static_cast<uint64_t>(std::clamp<int64_t>(
            static_cast<int64_t>(row) + delta, 0, static_cast<int64_t>(m_rowStarts.back()) - 1));
        const size_t pos = PositionInRow(target, x);
        MoveCursor(pos, shift, pos == RowAt(target).end);
    };

    if (e->matches(QKeySequence::SelectAll)) {
        m_anchor = 0;
        MoveCursor(m_doc.Size(), true);
    } else if (e->matches(QKeySequence::Copy)) {
        Copy();
    } else if (e->matches(QKeySequence::Cut)) {
        Copy();
        ReplaceSelection({});
    } else if (e->matches(QKeySequence::Paste)) {
        Paste();
    } else if (e->key() == Qt::Key_Left) {
        MoveCursor(!shift && m_anchor != m_cursor ? SelectionStart() : Before(m_cursor), shift);
    } else if (e->key() == Qt::Key_Right) {
        MoveCursor(!shift && m_anchor != m_cursor ? SelectionEnd() : After(m_cursor), shift);
    } else if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down) {
        toRow(e->key() == Qt::Key_Up ? -1 : 1);
    } else if (e->key() == Qt::Key_PageUp || e->key() == Qt::Key_PageDown) {
        toRow(e->key() == Qt::Key_PageUp ? -VisibleRows() : VisibleRows());
    } else if (e->key() == Qt::Key_Home) {
        MoveCursor(ctrl ? 0 : current.first, shift);
    } else if (e->key() == Qt::Key_End) {
        MoveCursor(ctrl ? m_doc.Size() : current.end, shift, !ctrl);
    } else if (e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete) {
        // A line break of "\r\n" goes as one, as the arrow keys step over it as one.
        if (m_anchor == m_cursor) m_anchor = e->key() == Qt::Key_Backspace ? Before(m_cursor) : After(m_cursor);
        ReplaceSelection({});
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        ReplaceSelection(u"\r\n");
    } else if (e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier) {
        // The desktop's other key for the context menu (Qt knows only the Menu key), at the caret.
        const QPoint at = CaretRect().bottomLeft();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at));
        contextMenuEvent(&menu);
    } else if (!e->text().isEmpty() && !ctrl && e->text().at(0).isPrint()) {
        const QString text = e->text();
        ReplaceSelection({reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())});
    } else {
        QAbstractScrollArea::keyPressEvent(e);
    }
    if (std::pair{m_anchor, m_cursor} != selected) OfferSelection();
}

void ReceiveView::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::EnabledChange) viewport()->update();
}

void ReceiveView::scrollContentsBy(int, int) { viewport()->update(); }

void ReceiveView::contextMenuEvent(QContextMenuEvent* e) {
    const bool selected = SelectionEnd() > SelectionStart();
    const bool editable = isEnabled();
    QMenu menu(this);
    menu.addAction(QStringLiteral("剪切(&T)"), this, [this] { Copy(); ReplaceSelection({}); })
        ->setEnabled(selected && editable);
    menu.addAction(QStringLiteral("复制(&C)"), this, [this] { Copy(); })->setEnabled(selected);
    menu.addAction(QStringLiteral("粘贴(&P)"), this, [this] { Paste(); })
        ->setEnabled(editable && !QApplication::clipboard()->text().isEmpty());
    menu.addAction(QStringLiteral("删除(&D)"), this, [this] { ReplaceSelection({}); })
        ->setEnabled(selected && editable);
    menu.addSeparator();
    menu.addAction(QStringLiteral("全选(&A)"), this, [this] { SetSelection(0, m_doc.Size()); OfferSelection(); })
        ->setEnabled(m_doc.Size() > 0);
    menu.addSeparator();
    menu.addAction(QStringLiteral("保存显示内容…"), this, &ReceiveView::saveShownRequested)
        ->setEnabled(m_doc.Size() > 0);
    menu.exec(e->globalPos());
}

void ReceiveView::focusInEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusInEvent(e);
    viewport()->update();
}

void ReceiveView::focusOutEvent(QFocusEvent* e) {
    QAbstractScrollArea::focusOutEvent(e);
    viewport()->update();
}
