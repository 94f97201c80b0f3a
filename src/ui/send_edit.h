#pragma once

#include <QPlainTextEdit>

// The send area. Its text, as the exchange takes and shows it, holds every line break as
// its bytes: a line the user breaks with Enter ends in CR LF, as in the Windows edit box; a
// lone CR or LF that came from the exchange (a conversion) or a paste stays that one byte.
// Such a break shows as a line break inside the line (U+2028) that carries the byte it
// stands for; Shift+Enter breaks the line as Enter does. Copying takes the selection as
// those bytes, so a copy pasted back is what it was. Window thread only.
class CSendEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;

    QString ExchangeText() const;
    // Replaces the text, as setPlainText does (the undo history starts again).
    void SetExchangeText(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;
};
