#pragma once

#include <QString>

// Where typed hex text first holds something that is neither a hex digit nor white space,
// told as the user counts characters (a line break and a surrogate pair are one each):
// "第 5 个字符“G”不是十六进制数字". Empty when the text is all hex.
QString NonHexNotice(const QString& text);
