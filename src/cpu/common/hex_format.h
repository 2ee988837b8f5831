// The "$"-prefixed hexadecimal number formatters shared by every disassembler
// (PDP-11, Z80, 15IE), and the option bits of a disassembler's options word.
//
// Usage: both formatters write a NUL-terminated text at `out` and return the
// position of that NUL, so calls chain while building an operand:
//     char text[32];
//     char* p = text;
//     *p++ = '#';
//     p = format_word_operand(p, 0x04D2, 0);   // text = "#$04D2"
// `out` needs room for format_operand_max_chars characters (NUL included).
// Options 0 (what every machine passes) give upper-case, full-width hex.
#pragma once

#include <cstddef>
#include <cstdint>

// Bits of the options word.
inline constexpr uint32_t disasm_byte_decimal = 1u << 3;     // bytes in decimal, no "$"
inline constexpr uint32_t disasm_no_leading_zeros = 1u << 4; // drop leading zeros
inline constexpr uint32_t disasm_signed_bytes = 1u << 5;     // bytes as "-" and magnitude
inline constexpr uint32_t disasm_signed_words = 1u << 6;     // words as "-" and magnitude
inline constexpr uint32_t disasm_lower_mnemonics = 1u << 8;
inline constexpr uint32_t disasm_lower_registers = 1u << 9;
inline constexpr uint32_t disasm_lower_special = 1u << 10;   // PC', PSW', (SEL)
inline constexpr uint32_t disasm_standard_names = 1u << 31;  // no PUSH/POP/AND/OR

// Longest result: "-$8000" plus its NUL.
inline constexpr size_t format_operand_max_chars = 8;

// A byte (low 8 bits of value): "$" and two hex digits; with disasm_no_leading_zeros
// the high digit is dropped when it is 0; with disasm_byte_decimal three decimal
// digits without "$" (leading zeros dropped under disasm_no_leading_zeros);
// with disasm_signed_bytes a negative byte is "-" and its magnitude.
char* format_byte_operand(char* out, uint32_t value, uint32_t options);

// A word (low 16 bits of value): "$" and four hex digits; with
// disasm_no_leading_zeros the leading zeros are dropped (at least one digit stays);
// with disasm_signed_words a negative word is "-" and its magnitude.
char* format_word_operand(char* out, uint32_t value, uint32_t options);
