// Fuzz target: any text in a number field, against QString's own parse of the trimmed text,
// which the dialog used before the parser was its own. Qt stops reading at a U+0000 and
// takes "7\0x" as 7; ours refuses it, so such text is only run, not compared.
#include <QString>
#include <cstdlib>

#include "fuzz_input.h"
#include "ui/decimal_field.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = FuzzUtf16(data, size);
    // As the line edit holds it: fromStdU16String would take a leading U+FFFE for a
    // byte-swapped byte order mark and swap the rest.
    const QString trimmed =
        QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size())).trimmed();
    bool qtOk = false;
    const qulonglong qtValue = trimmed.toULongLong(&qtOk, 10);
    qtOk = qtOk && qtValue <= 0xFFFFFFFFull && !trimmed.startsWith(u'-');

    uint32_t value = 0;
    const bool ok = ParseUInt32(text, value);
    if (text.find(u'\0') != std::u16string::npos) return 0;
    if (ok != qtOk || (ok && value != qtValue)) std::abort();
    return 0;
}
