// The gap buffer behind the document text.
#include "xml/xml_text.h"

#include <cstring>

namespace quillon {

namespace {
const char16_t kEmptyText[1] = {0};
}

void CXmlText::MoveGap(size_t position) {
    char16_t* units = m_units.get();
    const size_t gap = m_gapEnd - m_gapStart;
    if (gap == 0) {
        m_gapStart = m_gapEnd = position;
        return;
    }
    if (position < m_gapStart) {
        const size_t count = m_gapStart - position;
        std::memmove(units + position + gap, units + position, count * sizeof(char16_t));
    } else if (position > m_gapStart) {
        const size_t count = position - m_gapStart;
        std::memmove(units + m_gapStart, units + m_gapEnd, count * sizeof(char16_t));
    }
    m_gapStart = position;
    m_gapEnd = position + gap;
}

const char16_t* CXmlText::Data() {
    if (m_capacity == 0)
        return kEmptyText;
    const size_t length = Length();
    if (m_gapStart != length)
        MoveGap(length);
    // The capacity always exceeds the length, so the gap holds at least the terminator.
    m_units.get()[length] = 0;
    return m_units.get();
}

const char16_t* CXmlText::MovedRange(size_t begin, size_t end) {
    if (m_capacity == 0)
        return kEmptyText;
    if (m_gapStart > begin && m_gapStart < end) {
        // Move the gap to whichever end of the range is nearer.
        if (m_gapStart - begin <= end - m_gapStart)
            MoveGap(begin);
        else
            MoveGap(end);
    }
    return begin < m_gapStart ? m_units.get() + begin : m_units.get() + begin + (m_gapEnd - m_gapStart);
}

void CXmlText::Clear() {
    m_units.reset();
    m_capacity = m_gapStart = m_gapEnd = 0;
}

void CXmlText::Assign(std::u16string_view text, size_t spare) {
    const size_t capacity = text.size() + (spare ? spare : 1);
    // A block already big enough (and not much too big) is reused: its pages are warm.
    const char16_t* own = m_units.get();
    const bool aliases = own && text.data() >= own && text.data() < own + m_capacity;
    if (own && !aliases && m_capacity >= capacity && m_capacity / 2 <= capacity) {
        if (!text.empty())
            std::memcpy(m_units.get(), text.data(), text.size() * sizeof(char16_t));
        m_gapStart = text.size();
        m_gapEnd = m_capacity;
        return;
    }
    // The text may be a view of this very buffer: copy it before letting the old one go.
    MallocPtr<char16_t> units = MallocArray<char16_t>(capacity);
    if (!units) {
        Clear();
        return;
    }
    if (!text.empty())
        std::memcpy(units.get(), text.data(), text.size() * sizeof(char16_t));
    Adopt(std::move(units), text.size(), capacity);
}

void CXmlText::Adopt(MallocPtr<char16_t> units, size_t length, size_t capacity) {
    m_units = std::move(units);
    m_capacity = m_units ? capacity : 0;
    m_gapStart = m_units ? length : 0;
    m_gapEnd = m_capacity;
}

bool CXmlText::Reserve(size_t extra) {
    const size_t gap = m_gapEnd - m_gapStart;
    if (gap > extra) // keep one unit spare for the terminator
        return true;
    size_t capacity = m_capacity + m_capacity / 2 + extra + 16;
    MallocPtr<char16_t> units = MallocArray<char16_t>(capacity);
    if (!units)
        return false;
    char16_t* old = m_units.get();
    if (old) {
        std::memcpy(units.get(), old, m_gapStart * sizeof(char16_t));
        const size_t tail = m_capacity - m_gapEnd;
        std::memcpy(units.get() + capacity - tail, old + m_gapEnd, tail * sizeof(char16_t));
        m_gapEnd = capacity - tail;
    } else {
        m_gapStart = 0;
        m_gapEnd = capacity;
    }
    m_units = std::move(units);
    m_capacity = capacity;
    return true;
}

bool CXmlText::Replace(size_t position, size_t removeCount, std::u16string_view inserted) {
    const size_t length = Length();
    if (position > length || removeCount > length - position)
        return false;
    if (!Reserve(inserted.size() > removeCount ? inserted.size() - removeCount : 0))
        return false;
    if (m_capacity == 0)
        return inserted.empty();
    MoveGap(position);
    m_gapEnd += removeCount;
    if (!inserted.empty()) {
        std::memcpy(m_units.get() + m_gapStart, inserted.data(), inserted.size() * sizeof(char16_t));
        m_gapStart += inserted.size();
    }
    return true;
}

} // namespace quillon
