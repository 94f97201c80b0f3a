#include "receive/find_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>

#include "receive/receive_view.h"
#include "send/send_text.h"
#include "ui/hex_notice.h"

namespace {

// A slice of work at most this long, so the window answers within a frame while a search
// of 100 MB runs.
constexpr auto kBudget = std::chrono::milliseconds(8);
// How often a finished count looks again at a text that keeps growing.
constexpr int kPollMs = 200;
// A selection this short and without a line break is what Ctrl+F looks for.
constexpr size_t kMaxTaken = 256;

QToolButton* Button(QWidget* parent, Qt::ArrowType arrow, const QString& text, const QString& name,
                    const QString& key) {
    auto* button = new QToolButton(parent);
    if (arrow == Qt::NoArrow) button->setText(text);
    button->setArrowType(arrow);
    button->setAccessibleName(name);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(name, key));
    button->setAutoRaise(true);
    return button;
}

}  // namespace

FindBar::FindBar(ReceiveView* view)
    : QFrame(view),
      m_view(view),
      m_field(new QLineEdit(this)),
      m_matchCase(new QCheckBox(QStringLiteral("区分大小写"), this)),
      m_hex(new QCheckBox(QStringLiteral("十六进制"), this)),
      m_count(new QLabel(this)) {
    setObjectName(QStringLiteral("FindBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_field->setObjectName(QStringLiteral("FindText"));
    m_field->setAccessibleName(QStringLiteral("查找"));
    m_field->setPlaceholderText(QStringLiteral("查找"));
    m_field->setMinimumWidth(80);
    m_matchCase->setObjectName(QStringLiteral("FindMatchCase"));
    m_hex->setObjectName(QStringLiteral("FindHex"));
    m_count->setObjectName(QStringLiteral("FindCount"));
    auto* previous = Button(this, Qt::UpArrow, {}, QStringLiteral("上一个"), QStringLiteral("Shift+F3"));
    auto* next = Button(this, Qt::DownArrow, {}, QStringLiteral("下一个"), QStringLiteral("F3"));
    auto* close = Button(this, Qt::NoArrow, QStringLiteral("×"), QStringLiteral("关闭"), QStringLiteral("Esc"));
    m_pattern = new QHBoxLayout;
    m_pattern->setSpacing(4);
    m_pattern->addWidget(m_field, 1);
    m_pattern->addWidget(m_matchCase);
    m_pattern->addWidget(m_hex);
    m_steps = new QHBoxLayout;
    m_steps->setSpacing(4);
    m_steps->addWidget(m_count, 1);
    for (QWidget* w : {previous, next, close}) m_steps->addWidget(w);
    m_rows = new QBoxLayout(QBoxLayout::LeftToRight, this);
    m_rows->setContentsMargins(4, 2, 2, 2);
    m_rows->setSpacing(4);
    m_rows->addLayout(m_pattern, 1);
    m_rows->addLayout(m_steps);
    // Read by what it shows, the count or why a pattern is refused; a fixed name would hide it.
    m_count->setAccessibleDescription(QStringLiteral("匹配数"));

    connect(m_field, &QLineEdit::textChanged, this, &FindBar::Restart);
    connect(m_matchCase, &QCheckBox::toggled, this, &FindBar::Restart);
    connect(m_hex, &QCheckBox::toggled, this, &FindBar::Restart);
    connect(previous, &QToolButton::clicked, this, [this] { FindNext(false); });
    connect(next, &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(close, &QToolButton::clicked, this, &FindBar::Close);
    m_work.setSingleShot(true);
    connect(&m_work, &QTimer::timeout, this, &FindBar::Work);
    m_view->installEventFilter(this);
    hide();
}

void FindBar::Open() {
    if (m_view->SelectionEnd() - m_view->SelectionStart() <= kMaxTaken) {
        const QString selected = m_view->SelectedText();
        if (!selected.isEmpty() && !selected.contains(u'\r') && !selected.contains(u'\n')) {
            const QSignalBlocker quiet(m_hex);
            m_hex->setChecked(false);
            m_field->setText(selected);
        }
    }
    show();
    raise();
    Place();
    m_field->setFocus();
    m_field->selectAll();
    if (!m_session) Restart();
}

void FindBar::FindNext(bool forward) {
    if (!m_session) return Open();
    // From the selected match on, so overlapping matches are each visited once.
    const size_t start = m_view->SelectionStart();
    const bool selected = m_view->SelectionEnd() > start;
    m_session->Seek(m_view->Snapshot(), forward && selected ? start + 1 : forward ? m_view->CursorPosition() : start,
                    forward);
    Work();
}

void FindBar::SetHexPairs(bool pairs) {
    if (pairs == m_hexPairs) return;
    m_hexPairs = pairs;
    if (m_hex->isChecked()) Restart();
}

void FindBar::SetTextEncoding(TextEncoding encoding) {
    if (encoding == m_encoding) return;
    m_encoding = encoding;
    if (m_hex->isChecked()) Restart();
}

void FindBar::Restart() {
    m_work.stop();
    m_session.reset();
    m_match.reset();
    m_number.reset();
    m_count->clear();
    const QString text = m_field->text();
    const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
    FindPattern pattern = FindPattern::Text(units, m_matchCase->isChecked());
    if (m_hex->isChecked()) {
        if (const QString notice = NonHexNotice(text); !notice.isEmpty()) {
            m_count->setText(notice);
            return;
        }
        std::optional<FindPattern> bytes = FindPattern::Bytes(PrepareSendBytes(units, true, "UTF-8"), m_hexPairs, m_encoding);
        if (!bytes) {
            m_count->setText(QStringLiteral("这些字节按 %1 不是完整的字符，显示中没有")
                                 .arg(m_encoding == TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("GB18030")));
            return;
        }
        pattern = std::move(*bytes);
    }
    if (pattern.Empty() || isHidden()) return;
    m_session.emplace(std::move(pattern));
    m_session->Seek(m_view->Snapshot(), m_view->SelectionStart(), true);
    Work();
}

void FindBar::Work() {
    if (!m_session) return;
    const bool seeking = m_session->Seeking();
    const bool busy = m_session->Step(m_view->Snapshot(), FindSession::Clock::now() + kBudget);
    if (!m_session->Found()) {
        m_match.reset();  // not found, or the text was edited since
        m_number.reset();
    }
    if (seeking && !m_session->Seeking() && m_session->Found()) ShowMatch(*m_session->Found());
    if (m_match && !m_number) m_number = m_session->Number(*m_match);
    ShowCount();
    m_work.start(busy ? 0 : kPollMs);
}

void FindBar::ShowMatch(size_t pos) {
    m_match = pos;
    m_number.reset();
    m_view->SetSelection(pos, pos + m_session->Length());
    // A match scrolled to the top row may lie under the bar: the rows it covers go down.
    const QRect caret = m_view->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    if (caret.intersects(geometry()) && caret.height() > 0) {
        QScrollBar* bar = m_view->verticalScrollBar();
        bar->setValue(bar->value() - (geometry().bottom() - caret.top()) / caret.height() - 1);
    }
}

void FindBar::ShowCount() {
    QString shown;
    if (m_session->Seeking()) {
        shown = QStringLiteral("正在查找…");
    } else if (!m_session->Counted()) {
        shown = QStringLiteral("正在计数…");
    } else if (m_session->Count() == 0) {
        shown = QStringLiteral("无匹配");
    } else if (m_number) {
        shown = QStringLiteral("第 %1 个，共 %2 个").arg(*m_number).arg(m_session->Count());
    } else {
        shown = QStringLiteral("共 %1 个").arg(m_session->Count());
    }
    if (m_count->text() != shown) m_count->setText(shown);
}

void FindBar::Place() {
    const QRect area = m_view->viewport()->geometry();
    // One row where it fits; else the pattern above, the count and its steps below.
    const QMargins margins = contentsMargins() + m_rows->contentsMargins();
    const int oneRow = margins.left() + m_pattern->sizeHint().width() + m_rows->spacing() +
                       m_steps->sizeHint().width() + margins.right();
    m_rows->setDirection(oneRow <= area.width() ? QBoxLayout::LeftToRight
                                                : QBoxLayout::TopToBottom);
    const QSize wanted = sizeHint();
    const int width = std::min(wanted.width(), area.width());
    setGeometry(area.right() + 1 - width, area.top(), width, wanted.height());
}

void FindBar::keyPressEvent(QKeyEvent* e) {
    // What the field leaves is the bar's: it never reaches the area behind, which would
    // take it as typing, nor the dialog, which Esc would close.
    e->accept();
    if (e->key() == Qt::Key_Escape) {
        Close();
    } else if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        FindNext(!(e->modifiers() & Qt::ShiftModifier));
    }
}

bool FindBar::event(QEvent* e) {
    // Its own layout asks again whenever a part's size changes (the count grows as it
    // counts): placed by hand, the bar follows it.
    if (e->type() == QEvent::LayoutRequest && !isHidden()) Place();
    return QFrame::event(e);
}

bool FindBar::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_view && e->type() == QEvent::Resize && !isHidden()) Place();
    return QFrame::eventFilter(watched, e);
}

void FindBar::Close() {
    // A closed bar does no work; opened again, it looks again.
    m_work.stop();
    m_session.reset();
    m_match.reset();
    m_number.reset();
    hide();
    m_view->setFocus();
}
