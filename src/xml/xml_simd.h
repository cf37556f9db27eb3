// Searches over UTF-16 units, eight or sixteen at a time where SSE2 is there.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLON_XML_FIND_SSE2 1
#endif

// For the few small functions whose callers' loops must keep their cursors in registers:
// the compiler's own estimate leaves them out of line when they are called from a template.
#if defined(__GNUC__)
#define QUILLON_XML_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define QUILLON_XML_ALWAYS_INLINE inline
#endif

namespace quillon {

#ifdef QUILLON_XML_FIND_SSE2
inline unsigned FirstSetBit(unsigned mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(mask));
#else
    unsigned i = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++i;
    }
    return i;
#endif
}

// The unit index of the first match in a byte mask of eight 16-bit comparisons.
inline unsigned FirstMatchIndex(unsigned mask) {
    return FirstSetBit(mask) / 2;
}
#endif

// Sixteen units are tested per step while that many remain: the two halves' results are
// packed into one byte per unit, so a long run costs one branch per sixteen units.
#ifdef QUILLON_XML_FIND_SSE2
#define QUILLON_XML_FIND_LOOP(MATCH)                                                                         \
    while (end - p >= 16) {                                                                                  \
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));                             \
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8));                         \
        const __m128i both = _mm_packs_epi16(MATCH(v0), MATCH(v1));                                          \
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(both));                                \
        if (mask)                                                                                            \
            return p + FirstSetBit(mask);                                                                    \
        p += 16;                                                                                             \
    }                                                                                                        \
    if (end - p >= 8) {                                                                                      \
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));                              \
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(MATCH(v)));                            \
        if (mask)                                                                                            \
            return p + FirstMatchIndex(mask);                                                                \
        p += 8;                                                                                              \
    }
#endif

// First p in [p, end) with *p == a (or end).
inline const char16_t* FindAny1(const char16_t* p, const char16_t* end, char16_t a) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
#define QUILLON_XML_MATCH(v) _mm_cmpeq_epi16(v, va)
    QUILLON_XML_FIND_LOOP(QUILLON_XML_MATCH)
#undef QUILLON_XML_MATCH
#endif
    while (p < end && *p != a)
        ++p;
    return p;
}

inline const char16_t* FindAny2(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
#define QUILLON_XML_MATCH(v) _mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb))
    QUILLON_XML_FIND_LOOP(QUILLON_XML_MATCH)
#undef QUILLON_XML_MATCH
#endif
    while (p < end && *p != a && *p != b)
        ++p;
    return p;
}

inline const char16_t* FindAny3(const char16_t* p, const char16_t* end, char16_t a, char16_t b, char16_t c) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    const __m128i vc = _mm_set1_epi16(static_cast<short>(c));
#define QUILLON_XML_MATCH(v)                                                                                 \
    _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)), _mm_cmpeq_epi16(v, vc))
    QUILLON_XML_FIND_LOOP(QUILLON_XML_MATCH)
#undef QUILLON_XML_MATCH
#endif
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}

// First p in [p, end) that is not space, tab, LF or CR (or end).
inline const char16_t* SkipSpaceUnits(const char16_t* p, const char16_t* end) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i space = _mm_set1_epi16(0x20);
    const __m128i tab = _mm_set1_epi16(0x09);
    const __m128i lf = _mm_set1_epi16(0x0A);
    const __m128i cr = _mm_set1_epi16(0x0D);
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, space), _mm_cmpeq_epi16(v, tab)),
                                       _mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr)));
        const unsigned mask = ~static_cast<unsigned>(_mm_movemask_epi8(m)) & 0xFFFFu;
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
#endif
    while (p < end && (*p == 0x20 || *p == 0x09 || *p == 0x0A || *p == 0x0D))
        ++p;
    return p;
}

// First p in [p, end) that may end an attribute name: a unit of 0x20 or below, '/', '=',
// '>' or '?'. Control units other than the spaces do not end a name: the caller checks.
inline const char16_t* FindAttributeNameStop(const char16_t* p, const char16_t* end) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x20)), zero);
        const __m128i slash = _mm_cmpeq_epi16(v, _mm_set1_epi16(u'/'));
        // '=' '>' '?' are 0x3D to 0x3F: one unsigned range test.
        const __m128i range =
            _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(u'=')), _mm_set1_epi16(2)), zero);
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(low, slash), range)));
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
#endif
    while (p<end&& * p> 0x20 && *p != u'/' && (*p < u'=' || *p > u'?'))
        ++p;
    return p;
}

// First p in [p, end) that may end an element's tag name: a unit of 0x22 or below
// (space, '!', '"'), '\'', '/', ';' to '?' or '\\'. The caller checks control units.
inline const char16_t* FindElementNameStop(const char16_t* p, const char16_t* end) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x22)), zero);
        const __m128i single = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(u'\'')), _mm_cmpeq_epi16(v, _mm_set1_epi16(u'/'))),
            _mm_cmpeq_epi16(v, _mm_set1_epi16(u'\\')));
        // ';' '<' '=' '>' '?' are 0x3B to 0x3F.
        const __m128i range =
            _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(v, _mm_set1_epi16(u';')), _mm_set1_epi16(4)), zero);
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(low, single), range)));
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
#endif
    while (p<end&& * p> 0x22 && *p != u'\'' && *p != u'/' && *p != u'\\' && (*p < u';' || *p > u'?'))
        ++p;
    return p;
}

} // namespace quillon
