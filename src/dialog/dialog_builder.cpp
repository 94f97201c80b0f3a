#include "dialog/dialog_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <vector>

#include "dialog/button_accessible.h"
#include "dialog/control_ids.h"
#include "dialog/popup_combo_box.h"

namespace {

int MulDiv(int value, int numerator, int denominator) {
    return static_cast<int>((static_cast<long long>(value) * numerator * 2 + denominator) /
                            (2LL * denominator));
}

QWidget* Create(const ControlTemplate& c, QWidget& parent, const CustomControlFactory& custom) {
    const QString text = QString::fromUtf8(c.text);
    switch (c.kind) {
        case ControlKind::GroupBox:
            return new QGroupBox(text, &parent);
        case ControlKind::Label:
            return new QLabel(text, &parent);
        case ControlKind::Counter: {
            auto* label = new QLabel(text, &parent);
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setLineWidth(1);
            return label;
        }
        case ControlKind::Bitmap: {
            auto* label = new QLabel(&parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case ControlKind::DropDownList: {
            auto* combo = new PopupComboBox(&parent);
            combo->setEditable(false);
            return combo;
        }
        case ControlKind::PushButton:
            return new QPushButton(text, &parent);
        case ControlKind::CheckBox:
            return new QCheckBox(text, &parent);
        case ControlKind::Edit:
            return new QLineEdit(text, &parent);
        case ControlKind::MultiLineEdit: {
            auto* edit = custom ? static_cast<QPlainTextEdit*>(custom(c.kind, parent)) : nullptr;
            if (!edit) edit = new QPlainTextEdit(&parent);
            edit->setPlainText(text);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
            edit->setTabChangesFocus(true);
            return edit;
        }
        case ControlKind::ReceiveArea:
        case ControlKind::Picture:
            if (QWidget* w = custom ? custom(c.kind, parent) : nullptr) return w;
            break;
    }
    return new QWidget(&parent);  // a kind this dialog does not supply: an empty place
}

}  // namespace

QSize DialogBaseUnits(const QFont& font) {
    QFontMetrics fm(font);
    int letters = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    return {(letters / 26 + 1) / 2, fm.height()};
}

QRect MapDialogRect(const QRect& units, const QSize& base) {
    return {MulDiv(units.x(), base.width(), 4), MulDiv(units.y(), base.height(), 8),
            MulDiv(units.width(), base.width(), 4), MulDiv(units.height(), base.height(), 8)};
}

QFont DialogFont() {
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
        if (families.contains(QString::fromUtf8(name))) return QFont(QString::fromUtf8(name), 10);
    }
    return QFont(QString(), 10);
}

std::map<int, QWidget*> BuildDialog(QWidget& dialog, const DialogTemplate& tpl,
                                    const CustomControlFactory& custom) {
    InstallButtonAccessibility();
    const QSize base = DialogBaseUnits(dialog.font());
    dialog.setWindowTitle(QString::fromUtf8(tpl.caption));
    dialog.resize(MapDialogRect({0, 0, tpl.width, tpl.height}, base).size());

    std::map<int, QWidget*> byId;
    std::vector<QWidget*> frames;
    QWidget* previous = nullptr;
    for (const ControlTemplate& c : tpl.controls) {
        QWidget* w = Create(c, dialog, custom);
        w->setObjectName(QString::fromUtf8(c.name));
        QRect r = MapDialogRect({c.x, c.y, c.width, c.height}, base);
        // A drop-down list's template height includes the opened list.
        if (c.kind == ControlKind::DropDownList) r.setHeight(w->sizeHint().height());
        w->setGeometry(r);
        w->setEnabled(!(c.flags & kDisabled));
        // A control with a caption is named by its caption as it is now, which Qt derives;
        // only controls without one are given a name.
        if (c.accessibleName) w->setAccessibleName(QString::fromUtf8(c.accessibleName));
        if (c.accessibleDescription) {
            w->setAccessibleDescription(QString::fromUtf8(c.accessibleDescription));
        }
        if (w->focusPolicy() != Qt::NoFocus) {
            if (previous) QWidget::setTabOrder(previous, w);
            previous = w;
        }
        // A control without a cursor of its own would show whatever the dialog shows, such
        // as the splitter's resize cursor the pointer brought along. One that lets the mouse
        // through to the dialog shows the dialog's.
        if (!w->testAttribute(Qt::WA_SetCursor) && !w->testAttribute(Qt::WA_TransparentForMouseEvents)) {
            w->setCursor(Qt::ArrowCursor);
        }
        if (c.kind == ControlKind::GroupBox) frames.push_back(w);
        if (c.id != IDC_STATIC) byId[c.id] = w;
    }
    for (QWidget* frame : frames) frame->lower();
    return byId;
}
