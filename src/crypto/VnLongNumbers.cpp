#include "VnLongNumbers.h"

#include <cstring>

void LongFromBytes(TVnLongNumber& x, const uint8_t* bytes) {
    for (size_t i = 0; i < LongWords; ++i) {
        const uint8_t* p = bytes + 4 * i;
        x[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

void LongToBytes(uint8_t* bytes, const TVnLongNumber& x) {
    for (size_t i = 0; i < LongWords; ++i) {
        uint8_t* p = bytes + 4 * i;
        p[0] = uint8_t(x[i]);
        p[1] = uint8_t(x[i] >> 8);
        p[2] = uint8_t(x[i] >> 16);
        p[3] = uint8_t(x[i] >> 24);
    }
}

void LongSet(TVnLongNumber& x, uint32_t v) {
    x.fill(0);
    x[0] = v;
}

void LongCopy(TVnLongNumber& dst, const TVnLongNumber& src) {
    dst = src;
}

bool LongEqualsSmall(const TVnLongNumber& x, uint32_t v) {
    if (x[0] != v)
        return false;
    for (size_t i = 1; i < LongWords; ++i)
        if (x[i] != 0)
            return false;
    return true;
}

bool LongIsOdd(const TVnLongNumber& x) {
    return (x[0] & 1) != 0;
}

bool LongGreater(const TVnLongNumber& a, const TVnLongNumber& b) {
    for (size_t i = LongWords; i-- > 0;)
        if (a[i] != b[i])
            return a[i] > b[i];
    return false;
}

uint32_t LongAdd(TVnLongNumber& dst, const TVnLongNumber& a, const TVnLongNumber& b) {
    uint32_t carry = 0;
    for (size_t i = 0; i < LongWords; ++i) {
        uint64_t sum = uint64_t(a[i]) + b[i] + carry;
        dst[i] = uint32_t(sum);
        carry = uint32_t(sum >> 32);
    }
    return carry;
}

void LongSub(TVnLongNumber& dst, const TVnLongNumber& a, const TVnLongNumber& b) {
    uint32_t borrow = 0;
    for (size_t i = 0; i < LongWords; ++i) {
        uint64_t difference = uint64_t(a[i]) - b[i] - borrow;
        dst[i] = uint32_t(difference);
        borrow = uint32_t(difference >> 63);
    }
}

void LongShl1(TVnLongNumber& dst, const TVnLongNumber& src) {
    uint32_t carry = 0;
    for (size_t i = 0; i < LongWords; ++i) {
        uint32_t word = src[i];
        dst[i] = word << 1 | carry;
        carry = word >> 31;
    }
}

void LongShr1(TVnLongNumber& dst, const TVnLongNumber& src) {
    uint32_t carry = 0;
    for (size_t i = LongWords; i-- > 0;) {
        uint32_t word = src[i];
        dst[i] = word >> 1 | carry;
        carry = word << 31;
    }
}

void LongDivMod(TVnLongNumber& rem, TVnLongNumber& quot, const TVnLongNumber& a,
                const TVnLongNumber& d) {
    // Shift the divisor up until it exceeds a div 2 (so it cannot overflow), then subtract it
    // back down bit by bit.
    TVnLongNumber h, t = d, r = a, q;
    LongShr1(h, a);
    unsigned k = 1;
    while (!LongGreater(t, h)) {
        LongShl1(t, t);
        ++k;
    }
    LongSet(q, 0);
    for (; k > 0; --k) {
        LongShl1(q, q);
        if (!LongGreater(t, r)) {
            LongSub(r, r, t);
            q[0] |= 1;
        }
        LongShr1(t, t);
    }
    rem = r;
    quot = q;
}

void LongMod(TVnLongNumber& r, const TVnLongNumber& a, const TVnLongNumber& m) {
    TVnLongNumber quot;
    LongDivMod(r, quot, a, m);
}

void LongMulMod(TVnLongNumber& r, const TVnLongNumber& a, const TVnLongNumber& b,
                const TVnLongNumber& m) {
    // Add-and-double; comparing with m - r and m - s instead of forming r + s or 2s keeps every
    // value below m, so nothing overflows even for a full-width modulus.
    TVnLongNumber s, t = b, result, u;
    LongMod(s, a, m);
    LongSet(result, 0);
    while (!LongEqualsSmall(t, 0)) {
        if (LongIsOdd(t)) {
            LongSub(u, m, result);
            if (LongGreater(u, s))
                LongAdd(result, result, s);
            else
                LongSub(result, s, u);
        }
        LongShr1(t, t);
        LongSub(u, m, s);
        if (LongGreater(u, s))
            LongShl1(s, s);
        else
            LongSub(s, s, u);
    }
    r = result;
}

void LongPowMod(TVnLongNumber& r, const TVnLongNumber& base, const TVnLongNumber& e,
                const TVnLongNumber& m) {
    TVnLongNumber b = base, x = e, result;
    LongSet(result, 1);
    while (!LongEqualsSmall(x, 0)) {
        if (LongIsOdd(x))
            LongMulMod(result, result, b, m);
        LongShr1(x, x);
        LongMulMod(b, b, b, m);
    }
    r = result;
}

size_t DecryptBlocks(const TVnKeyRecord& key, const uint8_t* input, uint8_t* output,
                     size_t capacity) {
    TVnLongNumber n, e;
    LongFromBytes(n, key);
    LongFromBytes(e, key + LongBytes);
    size_t offset = 0, written = 0;
    for (;;) {
        TVnLongNumber c;
        LongFromBytes(c, input + offset);
        LongPowMod(c, c, e, n);
        uint8_t m[LongBytes];
        LongToBytes(m, c);
        uint8_t flags = m[127], length = m[126];
        size_t count;
        bool last;
        if (flags & 1) {
            if (length >= 127 || length > capacity)
                return 0;
            count = length;
            last = true;
        } else {
            if (capacity < 127)
                return 0;
            count = 127;
            last = (flags & 2) != 0;
        }
        std::memcpy(output + written, m, count);
        written += count;
        capacity -= count;
        offset += LongBytes;
        if (last)
            return written;
    }
}
