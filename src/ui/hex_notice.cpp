#include "ui/hex_notice.h"

#include <QList>

#include "send/send_text.h"

QString NonHexNotice(const QString& text) {
    const std::u16string_view units(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
    const size_t at = FirstNonHexCharacter(units);
    if (at == std::u16string_view::npos) return {};
    const QString before = text.left(static_cast<qsizetype>(at)).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const qsizetype length = text.at(at).isHighSurrogate() && static_cast<qsizetype>(at) + 1 < text.size() ? 2 : 1;
    return QStringLiteral("第 %1 个字符“%2”不是十六进制数字")
        .arg(before.toUcs4().size() + 1)
        .arg(text.mid(static_cast<qsizetype>(at), length));
}
