#include "ui/send_edit.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>

namespace {

// On a U+2028 of the text: the byte (CR or LF) it stands for. One without it is a break the
// user made.
constexpr int kLoneBreak = QTextFormat::UserProperty + 1;

// Inserts `text` at `cursor`: CR LF as a new line, a lone CR or LF as a marked U+2028.
void InsertWithBreaks(QTextCursor& cursor, const QString& text) {
    QTextCharFormat plain, lone;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\r' && text[i] != u'\n') continue;
        if (i > from) cursor.insertText(text.mid(from, i - from), plain);
        if (i == text.size()) break;
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            cursor.insertBlock();
            ++i;
        } else {
            lone.setProperty(kLoneBreak, static_cast<int>(text[i].unicode()));
            cursor.insertText(QString(QChar::LineSeparator), lone);
        }
        from = i + 1;
    }
}

QString TextWithBreaks(const QTextDocument& document) {
    QString text;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin()) text += QStringLiteral("\r\n");
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QVariant lone = fragment.charFormat().property(kLoneBreak);
            text += fragment.text().replace(QChar::LineSeparator, lone.isValid()
                                                                      ? QString(QChar(lone.toInt()))
                                                                      : QStringLiteral("\r\n"));
        }
    }
    return text;
}

}  // namespace

QString CSendEdit::ExchangeText() const { return TextWithBreaks(*document()); }

void CSendEdit::SetExchangeText(const QString& text) {
    setPlainText(QString());
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    InsertWithBreaks(cursor, text);
    cursor.endEditBlock();
    document()->clearUndoRedoStacks();
    moveCursor(QTextCursor::Start);
}

void CSendEdit::keyPressEvent(QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && (e->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier && !isReadOnly()) {
        textCursor().insertBlock();
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void CSendEdit::insertFromMimeData(const QMimeData* source) {
    if (!source->hasText()) return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    InsertWithBreaks(cursor, source->text());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData* CSendEdit::createMimeDataFromSelection() const {
    QTextDocument selection;
    QTextCursor(&selection).insertFragment(textCursor().selection());
    auto* data = new QMimeData;
    data->setText(TextWithBreaks(selection));
    return data;
}
