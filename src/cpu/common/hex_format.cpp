#include "cpu/common/hex_format.h"

static const char hex_digits[] = "0123456789ABCDEF";

// Writes the low `digits` hex digits of value; with `trim` the leading zero digits go.
// keep_last keeps the last digit even when it is a leading zero (bytes print "$0" for a
// zero, words "$" alone: listings and traces are compared as text, so both forms stay).
static char* put_hex(char* out, uint32_t value, int digits, bool trim, bool keep_last)
{
    for (int i = digits - 1; i >= 0; --i) {
        uint32_t digit = (value >> (4 * i)) & 0xF;
        if (trim && digit == 0 && (i > 0 || !keep_last))
            continue;
        trim = false;
        *out++ = hex_digits[digit];
    }
    *out = '\0';
    return out;
}

char* format_byte_operand(char* out, uint32_t value, uint32_t options)
{
    value &= 0xFF;
    if ((options & disasm_signed_bytes) && (value & 0x80)) {
        *out++ = '-';
        value = 0x100 - value;
    }
    bool trim = (options & disasm_no_leading_zeros) != 0;
    if (options & disasm_byte_decimal) {
        const char digits[3] = {static_cast<char>('0' + value / 100), static_cast<char>('0' + value / 10 % 10),
                                static_cast<char>('0' + value % 10)};
        for (int i = 0; i < 3; ++i) {
            if (trim && digits[i] == '0' && i < 2)
                continue;
            trim = false;
            *out++ = digits[i];
        }
        *out = '\0';
        return out;
    }
    *out++ = '$';
    return put_hex(out, value, 2, trim, true);
}

char* format_word_operand(char* out, uint32_t value, uint32_t options)
{
    value &= 0xFFFF;
    if ((options & disasm_signed_words) && (value & 0x8000)) {
        *out++ = '-';
        value = 0x10000 - value;
    }
    *out++ = '$';
    return put_hex(out, value, 4, (options & disasm_no_leading_zeros) != 0, false);
}
