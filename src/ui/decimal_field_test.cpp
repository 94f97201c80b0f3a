#include "ui/decimal_field.h"

#include <gtest/gtest.h>

TEST(DecimalField, AcceptsUnsigned32BitDecimalsWithBlanksAround) {
    struct Case {
        std::u16string_view text;
        bool ok;
        uint32_t value;
    };
    for (const Case& c : {
             Case{u"1000", true, 1000},
             Case{u"  250\t", true, 250},
             Case{u"\u3000" u"42\u00A0", true, 42},  // ideographic and no-break spaces
             Case{u"+7", true, 7},
             Case{u"0004294967295", true, 4294967295u},
             Case{u"0", true, 0},
             Case{u"4294967296", false, 0},
             Case{u"99999999999999999999999", false, 0},
             Case{u"", false, 0},
             Case{u"   ", false, 0},
             Case{u"+", false, 0},
             Case{u"-1", false, 0},
             Case{u"++1", false, 0},
             Case{u"1 2", false, 0},
             Case{u"12abc", false, 0},
             Case{u"0x10", false, 0},
             Case{u"\uFF11", false, 0},  // full-width digit
         }) {
        uint32_t value = 12345;
        EXPECT_EQ(ParseUInt32(c.text, value), c.ok) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(value, c.ok ? c.value : 12345u);
    }
}
