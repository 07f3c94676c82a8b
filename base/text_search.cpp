#include "base/text_search.h"

#include <immintrin.h>

#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr size_t NOT_FOUND = SIZE_MAX;
constexpr size_t SHORT_PATTERN = 7;
constexpr size_t SHORT_TEXT = 256;  // bytes of text below which candidates are checked in full

unsigned char OtherCase(unsigned char upper) {
    return static_cast<unsigned char>(upper - 'A') < 26u ? static_cast<unsigned char>(upper + 32) : upper;
}

// Bytes from the most to the least frequent in OWA's pages, folded as
// FoldAscii folds them (measured on the test pages); bytes not listed are
// rarer still.
constexpr std::string_view BYTES_BY_FREQUENCY = "A \"TIP=EDS>M<NLR0OC/13V2F;&H_:\nB.G%?Y4W-Q()Z56U879XK!,J+#[]\\{}'";

// Each byte's place in that list (the list's length for bytes not in it).
constexpr std::array<unsigned char, 256> RARITY = [] {
    std::array<unsigned char, 256> rarity{};
    rarity.fill(static_cast<unsigned char>(BYTES_BY_FREQUENCY.size()));
    for (size_t n = 0; n < BYTES_BY_FREQUENCY.size(); ++n)
        rarity[static_cast<unsigned char>(BYTES_BY_FREQUENCY[n])] = static_cast<unsigned char>(n);
    return rarity;
}();

constexpr size_t Rarity(unsigned char folded) { return RARITY[folded]; }

// The last byte equal to ch in [pBegin, pBegin + cb), or null: sixteen bytes
// at a time from the end (memrchr, a GNU extension, is not everywhere).
const char* LastByte(const char* pBegin, size_t cb, unsigned char ch) {
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(ch));
    for (; cb >= 16; cb -= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pBegin + cb - 16));
        const unsigned nMask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted)));
        if (nMask != 0) return pBegin + cb - 16 + 31 - __builtin_clz(nMask);
    }
    while (cb > 0)
        if (static_cast<unsigned char>(pBegin[--cb]) == ch) return pBegin + cb;
    return nullptr;
}

// From here on a byte is rare enough (under about one in a thousand) that
// memchr finding each occurrence beats testing every position. (Not for
// letters: two memchr, one per case, cost more than they save.)
constexpr size_t RARE = Rarity('X');

// Positions where a match could start: the pattern's two rarest bytes both
// match at their offsets (ignoring case), so that few positions of a page
// are candidates. A rare caseless byte is found with memchr; else sixteen
// positions are tested at once, thirty-two or sixty-four forwards where the
// processor has AVX2.
class CCandidates {
public:
    // The pattern has at least two bytes. Over a text of cbText bytes; a
    // short one is not worth choosing bytes for: the first and the last.
    CCandidates(const char* pText, size_t cbText, std::string_view pattern) : m_pText(pText) {
        if (cbText <= SHORT_TEXT) {
            m_nSecondAt = pattern.size() - 1;
        } else {
            ChooseRarest(pattern);
        }
        m_first = FoldedAt(pattern, m_nFirstAt);
        m_second = FoldedAt(pattern, m_nSecondAt);
        m_bByOccurrence = OtherCase(m_first) == m_first && Rarity(m_first) >= RARE;
    }

    // The first candidate in [nFrom, nLastStart], or NOT_FOUND.
    size_t Next(size_t nFrom, size_t nLastStart) const {
        if (m_bByOccurrence) {
            for (size_t n = nFrom; n <= nLastStart;) {
                const void* pHit = std::memchr(m_pText + n + m_nFirstAt, m_first, nLastStart + 1 - n);
                if (pHit == nullptr) return NOT_FOUND;
                n = static_cast<size_t>(static_cast<const char*>(pHit) - m_pText) - m_nFirstAt;
                if (IsCandidate(n)) return n;
                ++n;
            }
            return NOT_FOUND;
        }
        size_t n = nFrom;
        if (HAS_AVX2) {
            n = NextWide(n, nLastStart);
            if (n <= nLastStart && IsCandidate(n)) return n;
        }
        for (; n + 16 <= nLastStart + 1; n += 16) {
            const int nMask = Mask(n);
            if (nMask != 0) return n + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(nMask)));
        }
        for (; n <= nLastStart && n != NOT_FOUND; ++n)
            if (IsCandidate(n)) return n;
        return NOT_FOUND;
    }

    // The last candidate in [nDownTo, nFrom], or NOT_FOUND.
    size_t Previous(size_t nFrom, size_t nDownTo) const {
        if (m_bByOccurrence) {
            for (size_t nEnd = nFrom + 1; nEnd > nDownTo;) {  // candidates in [nDownTo, nEnd)
                const char* pHit = LastByte(m_pText + nDownTo + m_nFirstAt, nEnd - nDownTo, m_first);
                if (pHit == nullptr) return NOT_FOUND;
                const size_t n = static_cast<size_t>(pHit - m_pText) - m_nFirstAt;
                if (IsCandidate(n)) return n;
                nEnd = n;
            }
            return NOT_FOUND;
        }
        size_t nEnd = nFrom + 1;  // one past the highest position still to test
        for (; nEnd >= nDownTo + 16; nEnd -= 16) {
            const int nMask = Mask(nEnd - 16);
            if (nMask != 0) return nEnd - 16 + 31 - static_cast<size_t>(__builtin_clz(static_cast<unsigned>(nMask)));
        }
        for (; nEnd > nDownTo; --nEnd)
            if (IsCandidate(nEnd - 1)) return nEnd - 1;
        return NOT_FOUND;
    }

private:
    static unsigned char FoldedAt(std::string_view pattern, size_t n) {
        return FoldAscii(static_cast<unsigned char>(pattern[n]));
    }

    void ChooseRarest(std::string_view pattern) {
        auto rarityAt = [&](size_t n) { return Rarity(FoldedAt(pattern, n)); };
        for (size_t n = 1; n < pattern.size(); ++n)
            if (rarityAt(n) > rarityAt(m_nFirstAt)) m_nFirstAt = n;
        const unsigned char first = FoldedAt(pattern, m_nFirstAt);
        m_nSecondAt = m_nFirstAt == 0 ? 1 : 0;
        bool bSecondOther = FoldedAt(pattern, m_nSecondAt) != first;
        for (size_t n = 0; n < pattern.size(); ++n) {
            if (n == m_nFirstAt) continue;
            // A byte unlike the first filters more than the same byte again.
            const bool bOtherByte = FoldedAt(pattern, n) != first;
            if ((bOtherByte && !bSecondOther) || (bOtherByte == bSecondOther && rarityAt(n) > rarityAt(m_nSecondAt))) {
                m_nSecondAt = n;
                bSecondOther = bOtherByte;
            }
        }
    }

    // Asked once; the detection may not have run yet when this is initialised.
    static inline const bool HAS_AVX2 = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();

    // Thirty-two positions at a time from n (sixty-four while there are as
    // many): the first candidate, or where fewer than thirty-two are left.
    __attribute__((target("avx2"))) size_t NextWide(size_t n, size_t nLastStart) const {
        const __m256i first = _mm256_set1_epi8(static_cast<char>(m_first));
        const __m256i firstOther = _mm256_set1_epi8(static_cast<char>(OtherCase(m_first)));
        const __m256i second = _mm256_set1_epi8(static_cast<char>(m_second));
        const __m256i secondOther = _mm256_set1_epi8(static_cast<char>(OtherCase(m_second)));
        const char* const pFirst = m_pText + m_nFirstAt;
        const char* const pSecond = m_pText + m_nSecondAt;
        auto hitsAt = [&](size_t nAt) __attribute__((target("avx2"))) {
            const __m256i atFirst = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pFirst + nAt));
            const __m256i atSecond = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pSecond + nAt));
            return _mm256_and_si256(
                _mm256_or_si256(_mm256_cmpeq_epi8(atFirst, first), _mm256_cmpeq_epi8(atFirst, firstOther)),
                _mm256_or_si256(_mm256_cmpeq_epi8(atSecond, second), _mm256_cmpeq_epi8(atSecond, secondOther)));
        };
        for (; n + 64 <= nLastStart + 1; n += 64) {
            const __m256i low = hitsAt(n), high = hitsAt(n + 32);
            if (_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high))) continue;
            const auto nLow = static_cast<unsigned>(_mm256_movemask_epi8(low));
            if (nLow != 0) return n + static_cast<size_t>(__builtin_ctz(nLow));
            return n + 32 + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(_mm256_movemask_epi8(high))));
        }
        for (; n + 32 <= nLastStart + 1; n += 32) {
            const auto nMask = static_cast<unsigned>(_mm256_movemask_epi8(hitsAt(n)));
            if (nMask != 0) return n + static_cast<size_t>(__builtin_ctz(nMask));
        }
        return n;
    }

    bool IsCandidate(size_t n) const {
        return FoldAscii(static_cast<unsigned char>(m_pText[n + m_nFirstAt])) == m_first &&
               FoldAscii(static_cast<unsigned char>(m_pText[n + m_nSecondAt])) == m_second;
    }

    int Mask(size_t n) const {
        const __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_pText + n + m_nFirstAt));
        const __m128i atSecond = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_pText + n + m_nSecondAt));
        const __m128i firstHit =
            _mm_or_si128(_mm_cmpeq_epi8(atFirst, _mm_set1_epi8(static_cast<char>(m_first))),
                         _mm_cmpeq_epi8(atFirst, _mm_set1_epi8(static_cast<char>(OtherCase(m_first)))));
        const __m128i secondHit =
            _mm_or_si128(_mm_cmpeq_epi8(atSecond, _mm_set1_epi8(static_cast<char>(m_second))),
                         _mm_cmpeq_epi8(atSecond, _mm_set1_epi8(static_cast<char>(OtherCase(m_second)))));
        return _mm_movemask_epi8(_mm_and_si128(firstHit, secondHit));
    }

    const char* m_pText;
    size_t m_nFirstAt = 0;   // offset of the rarest byte in the pattern
    size_t m_nSecondAt = 0;  // offset of the next rarest
    unsigned char m_first = 0;
    unsigned char m_second = 0;
    bool m_bByOccurrence = false;  // the rarest byte is rare and has no case: found with memchr
};

// One byte, ignoring case: memchr for each case; the nearer wins.
size_t FindByte(const char* pText, size_t nFrom, size_t nTo, unsigned char ch) {
    const unsigned char upper = FoldAscii(ch);
    size_t nBest = NOT_FOUND;
    for (unsigned char candidate : {upper, OtherCase(upper)}) {
        const void* pHit = std::memchr(pText + nFrom, candidate, (nBest == NOT_FOUND ? nTo : nBest) - nFrom);
        if (pHit != nullptr) nBest = static_cast<size_t>(static_cast<const char*>(pHit) - pText);
        if (upper == OtherCase(upper)) break;
    }
    return nBest;
}

size_t FindLastByte(const char* pText, size_t nFrom, size_t nDownTo, unsigned char ch) {
    const unsigned char upper = FoldAscii(ch);
    size_t nBest = NOT_FOUND;
    for (unsigned char candidate : {upper, OtherCase(upper)}) {
        const size_t nLow = nBest == NOT_FOUND ? nDownTo : nBest + 1;
        if (nFrom + 1 > nLow) {
            const char* pHit = LastByte(pText + nLow, nFrom + 1 - nLow, candidate);
            if (pHit != nullptr) nBest = static_cast<size_t>(pHit - pText);
        }
        if (upper == OtherCase(upper)) break;
    }
    return nBest;
}

// The folded bytes of a pattern, read from its start or from its end.
class CFoldedPattern {
public:
    CFoldedPattern(std::string_view pattern, bool bReversed) : m_pattern(pattern), m_bReversed(bReversed) {}
    size_t size() const { return m_pattern.size(); }
    unsigned char operator[](size_t k) const {
        return FoldAscii(static_cast<unsigned char>(m_pattern[m_bReversed ? m_pattern.size() - 1 - k : k]));
    }

private:
    std::string_view m_pattern;
    bool m_bReversed;
};

// Knuth-Morris-Pratt failure table; kept in place (no allocation) for
// patterns of up to 64 bytes.
class CFailureTable {
public:
    explicit CFailureTable(const CFoldedPattern& pattern) {
        if (pattern.size() > IN_PLACE) m_large.resize(pattern.size());
        m_pTable = pattern.size() > IN_PLACE ? m_large.data() : m_inPlace;
        m_pTable[0] = 0;
        for (size_t n = 1, k = 0; n < pattern.size(); ++n) {
            const unsigned char ch = pattern[n];
            while (k > 0 && pattern[k] != ch) k = m_pTable[k - 1];
            if (pattern[k] == ch) ++k;
            m_pTable[n] = k;
        }
    }
    CFailureTable(const CFailureTable&) = delete;
    CFailureTable& operator=(const CFailureTable&) = delete;
    size_t operator[](size_t n) const { return m_pTable[n]; }

private:
    static constexpr size_t IN_PLACE = 64;
    size_t m_inPlace[IN_PLACE];
    std::vector<size_t> m_large;
    size_t* m_pTable;
};

// Long patterns: KMP, linear in the text; while no prefix is matched it
// jumps to the next candidate start.
size_t FindLong(const char* pText, size_t nFrom, size_t nTo, std::string_view pattern) {
    const CFoldedPattern folded(pattern, false);
    const CFailureTable failure(folded);
    const CCandidates candidates(pText, nTo - nFrom, pattern);
    const size_t nLastStart = nTo - pattern.size();
    size_t k = 0;
    for (size_t n = nFrom; n < nTo; ++n) {
        if (k == 0) {
            n = candidates.Next(n, nLastStart);
            if (n == NOT_FOUND) return NOT_FOUND;
        }
        const unsigned char ch = FoldAscii(static_cast<unsigned char>(pText[n]));
        while (k > 0 && folded[k] != ch) k = failure[k - 1];
        if (folded[k] == ch) ++k;
        if (k == pattern.size()) return n + 1 - pattern.size();
    }
    return NOT_FOUND;
}

// Long patterns backwards: KMP over the reversed pattern, reading the text
// downwards from the last byte a match starting at nStart would cover.
size_t FindLastLong(const char* pText, size_t nStart, size_t nDownTo, std::string_view pattern) {
    const CFoldedPattern reversed(pattern, true);
    const CFailureTable failure(reversed);
    const CCandidates candidates(pText, nStart - nDownTo, pattern);
    const size_t cbTail = pattern.size() - 1;
    size_t k = 0;
    for (size_t n = nStart + cbTail;; --n) {
        if (k == 0) {
            if (n < nDownTo + cbTail) return NOT_FOUND;
            const size_t nCandidate = candidates.Previous(n - cbTail, nDownTo);
            if (nCandidate == NOT_FOUND) return NOT_FOUND;
            n = nCandidate + cbTail;
        }
        const unsigned char ch = FoldAscii(static_cast<unsigned char>(pText[n]));
        while (k > 0 && reversed[k] != ch) k = failure[k - 1];
        if (reversed[k] == ch) ++k;
        if (k == pattern.size()) return n;
        if (n == nDownTo) return NOT_FOUND;
    }
}

}  // namespace

size_t FindNoCase(const char* pText, size_t nFrom, size_t nTo, std::string_view pattern) {
    if (nFrom > nTo || nTo - nFrom < pattern.size()) return NOT_FOUND;
    if (pattern.empty()) return nFrom;
    if (pattern.size() == 1) return FindByte(pText, nFrom, nTo, static_cast<unsigned char>(pattern[0]));
    // A long pattern's failure table pays off only over a long text; in a
    // short one each candidate is checked in full (at most 256 x the pattern).
    if (pattern.size() > SHORT_PATTERN && nTo - nFrom > SHORT_TEXT) return FindLong(pText, nFrom, nTo, pattern);
    const CCandidates candidates(pText, nTo - nFrom, pattern);
    const size_t nLastStart = nTo - pattern.size();
    for (size_t n = candidates.Next(nFrom, nLastStart); n != NOT_FOUND; n = candidates.Next(n + 1, nLastStart))
        if (EqualsNoCase(pText + n, pattern)) return n;
    return NOT_FOUND;
}

size_t FindLastNoCase(const char* pText, size_t nFrom, size_t nDownTo, size_t nTextEnd, std::string_view pattern) {
    if (pattern.size() > nTextEnd || nFrom < nDownTo) return NOT_FOUND;
    const size_t nStart = nFrom < nTextEnd - pattern.size() ? nFrom : nTextEnd - pattern.size();
    if (nStart < nDownTo) return NOT_FOUND;
    if (pattern.empty()) return nStart;
    if (pattern.size() == 1) return FindLastByte(pText, nStart, nDownTo, static_cast<unsigned char>(pattern[0]));
    if (pattern.size() > SHORT_PATTERN && nStart - nDownTo > SHORT_TEXT)
        return FindLastLong(pText, nStart, nDownTo, pattern);
    const CCandidates candidates(pText, nStart - nDownTo, pattern);
    for (size_t n = candidates.Previous(nStart, nDownTo); n != NOT_FOUND;
         n = n == nDownTo ? NOT_FOUND : candidates.Previous(n - 1, nDownTo))
        if (EqualsNoCase(pText + n, pattern)) return n;
    return NOT_FOUND;
}

bool HasControlCharacters(std::string_view sText) {
    for (const char ch : sText)
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return true;
    return false;
}
