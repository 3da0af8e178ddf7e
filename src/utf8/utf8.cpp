// UTF-8 as RFC 3629 has it: a lead byte 110xxxxx, 1110xxxx or 11110xxx
// (C2 to F4, as C0, C1 and F5 up can only start overlong or out-of-range
// forms), then one, two or three tail bytes 10xxxxxx.
#include "utf8/utf8.h"

enum {
    TAIL_MASK = 0xC0,
    TAIL = 0x80,
    LEAD_2 = 0xC2,
    LEAD_3 = 0xE0,
    LEAD_4 = 0xF0,
    LEAD_END = 0xF5,
    C0_END = 0x20,  // C0 codes are below the blank
    DEL = 0x7F,
    C1_LEAD = 0xC2,  // U+0080 to U+009F are C2 80 to C2 9F
    C1_LAST = 0x9F,
    HIGH_SURROGATE = 0xD800,
    LOW_SURROGATE = 0xDC00,
    SURROGATE_END = 0xE000,
    FIRST_PAIRED = 0x10000,  // U+10000 and up take a pair of units
    REPLACEMENT = 0xFFFD
};

size_t utf8_length(unsigned char lead) {
    if (lead >= LEAD_2 && lead < LEAD_3) return 2;
    if (lead >= LEAD_3 && lead < LEAD_4) return 3;
    if (lead >= LEAD_4 && lead < LEAD_END) return 4;
    return 1;
}

int utf8_is_tail(unsigned char c) { return (c & TAIL_MASK) == TAIL; }

// Only the last character can be split: look back over its tail bytes to
// its lead, and cut before the lead when fewer tails follow it than it asks
// (more than three never do).
size_t utf8_whole(const char* text, size_t len) {
    size_t tails = 0;
    while (tails < len && utf8_is_tail((unsigned char)text[len - 1 - tails])) tails++;
    if (tails == len) return len;
    size_t lead = len - 1 - tails;
    return tails + 1 < utf8_length((unsigned char)text[lead]) ? lead : len;
}

int utf8_copy(char* cell, size_t size, const char* src) {
    size_t n = 0;
    while (n + 1 < size && src[n] != '\0') {
        cell[n] = src[n];
        n++;
    }
    const int whole = src[n] == '\0';
    if (!whole) n = utf8_whole(cell, n);
    cell[n] = '\0';
    return whole;
}

// The lead byte's marker, then six bits a tail byte.
static size_t encode(unsigned long code, char* out) {
    static const unsigned long kLast[] = {0x7F, 0x7FF, 0xFFFF};
    static const unsigned char kMarker[] = {0x00, 0xC0, 0xE0, 0xF0};
    size_t len = 1;
    while (len < 4 && code > kLast[len - 1]) len++;
    for (size_t k = len - 1; k > 0; k--, code >>= 6) out[k] = (char)(TAIL | (code & 0x3F));
    out[0] = (char)(kMarker[len - 1] | code);
    return len;
}

int utf8_utf16_needs_pair(long unit) { return unit >= HIGH_SURROGATE && unit < LOW_SURROGATE; }

size_t utf8_from_utf16(long unit, long low, char* out) {
    const bool paired = utf8_utf16_needs_pair(unit) && low >= LOW_SURROGATE && low < SURROGATE_END;
    if (paired)
        return encode(FIRST_PAIRED + ((unit - HIGH_SURROGATE) << 10) + (low - LOW_SURROGATE), out);
    const bool surrogate = unit >= HIGH_SURROGATE && unit < SURROGATE_END;
    return encode(surrogate ? (unsigned long)REPLACEMENT : (unsigned long)unit, out);
}

size_t utf8_columns(const char* text, size_t len) {
    size_t cols = 0;
    for (size_t k = 0; k < len; k++) cols += !utf8_is_tail((unsigned char)text[k]);
    return cols;
}

size_t utf8_control_length(const char* text, size_t left) {
    const unsigned char c = (unsigned char)text[0];
    if (c < C0_END || c == DEL) return 1;
    if (c == C1_LEAD && left > 1 && utf8_is_tail((unsigned char)text[1]) &&
        (unsigned char)text[1] <= C1_LAST)
        return 2;
    return 0;
}
