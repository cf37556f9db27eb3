// Searches for one of a few UTF-16 units, eight units at a time where SSE2 is there.
#pragma once
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUILLON_XML_FIND_SSE2 1
#endif

namespace quillon {

#ifdef QUILLON_XML_FIND_SSE2
inline unsigned FirstMatchIndex(unsigned mask) {
#if defined(__GNUC__)
    return static_cast<unsigned>(__builtin_ctz(mask)) / 2;
#else
    unsigned i = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++i;
    }
    return i / 2;
#endif
}
#endif

// First p in [p, end) with *p == a (or end).
inline const char16_t* FindAny1(const char16_t* p, const char16_t* end, char16_t a) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, va)));
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
#endif
    while (p < end && *p != a)
        ++p;
    return p;
}

inline const char16_t* FindAny2(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i va = _mm_set1_epi16(static_cast<short>(a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(b));
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb))));
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
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
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i m =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)), _mm_cmpeq_epi16(v, vc));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
#endif
    while (p < end && *p != a && *p != b && *p != c)
        ++p;
    return p;
}

// First p in [p, end) that is a control or space unit (0x20 or below) or one of the
// listed units; the caller checks a control unit against its own class table.
template <char16_t... Units>
inline const char16_t* FindSpaceOr(const char16_t* p, const char16_t* end) {
#ifdef QUILLON_XML_FIND_SSE2
    const __m128i space = _mm_set1_epi16(0x20);
    const __m128i zero = _mm_setzero_si128();
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i m = _mm_cmpeq_epi16(_mm_subs_epu16(v, space), zero);  // v <= 0x20
        ((m = _mm_or_si128(m, _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(Units))))), ...);
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask)
            return p + FirstMatchIndex(mask);
        p += 8;
    }
#endif
    while (p < end && *p > 0x20 && ((*p != Units) && ...))
        ++p;
    return p;
}

}  // namespace quillon
