// CXmlText: the document text as a gap buffer, so that a run of edits at one place
// (removing siblings one after another, appending children) moves no more text than
// the edits themselves.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace quillon {

struct CFreeDeleter {
    void operator()(void* block) const { std::free(block); }
};
template <typename T> using MallocPtr = std::unique_ptr<T, CFreeDeleter>;

// Allocates count units without touching them (the caller fills them); nullptr on
// failure or when count is 0.
template <typename T> MallocPtr<T> MallocArray(size_t count) {
    if (count == 0 || count > SIZE_MAX / sizeof(T))
        return MallocPtr<T>();
    return MallocPtr<T>(static_cast<T*>(std::malloc(count * sizeof(T))));
}

class CXmlText {
public:
    CXmlText() = default;
    CXmlText(CXmlText&& other) noexcept { *this = std::move(other); }
    CXmlText& operator=(CXmlText&& other) noexcept {
        if (this != &other) {
            m_units = std::move(other.m_units);
            m_capacity = other.m_capacity;
            m_gapStart = other.m_gapStart;
            m_gapEnd = other.m_gapEnd;
            other.m_capacity = other.m_gapStart = other.m_gapEnd = 0;
        }
        return *this;
    }

    size_t Length() const { return m_capacity - (m_gapEnd - m_gapStart); }
    bool Empty() const { return Length() == 0; }
    size_t Capacity() const { return m_capacity; }
    char16_t At(size_t index) const {
        return index < m_gapStart ? m_units.get()[index] : m_units.get()[index + (m_gapEnd - m_gapStart)];
    }

    // The whole text, contiguous and followed by a zero unit (the gap is moved to the end).
    const char16_t* Data();
    std::u16string_view View() { return std::u16string_view(Data(), Length()); }
    // Units [begin, end) as one contiguous run: the gap is moved out of the range if it splits it.
    const char16_t* Range(size_t begin, size_t end) {
        // After a load the gap sits at the end of the text: every range lies before it.
        if (begin < m_gapStart && end <= m_gapStart)
            return m_units.get() + begin;
        return MovedRange(begin, end);
    }

    void Clear(); // empty text, memory released
    void Assign(std::u16string_view text, size_t spare);
    // Takes over a block holding length units; capacity must exceed length.
    void Adopt(MallocPtr<char16_t> units, size_t length, size_t capacity);
    // Replaces removeCount units at position with the inserted text.
    bool Replace(size_t position, size_t removeCount, std::u16string_view inserted);

private:
    const char16_t* MovedRange(size_t begin, size_t end);
    void MoveGap(size_t position);
    bool Reserve(size_t extra);

    MallocPtr<char16_t> m_units;
    size_t m_capacity = 0;
    size_t m_gapStart = 0;
    size_t m_gapEnd = 0;
};

} // namespace quillon
