// Conversions of the code pages without a built-in fast path, through the Windows code page
// API (MultiByteToWideChar / WideCharToMultiByte, flags 0). A code page the system does not
// have is refused, and the caller then converts as the system ANSI code page.
#include "xml/xml_encoding.h"

#include <windows.h>

namespace quillon::codec {

namespace {

// The API counts in int; longer texts go in pieces of at most this many units.
constexpr size_t kMaxPiece = 1u << 28;

// Where a byte text may be cut: after a line feed, which no double-byte code page uses as a
// trail byte. Without one in reach the piece is cut at its full length.
size_t BytePiece(const char* bytes, size_t length) {
    if (length <= kMaxPiece)
        return length;
    for (size_t i = kMaxPiece; i > kMaxPiece / 2; --i)
        if (bytes[i - 1] == '\n')
            return i;
    return kMaxPiece;
}

size_t UnitPiece(const char16_t* text, size_t length) {
    if (length <= kMaxPiece)
        return length;
    size_t piece = kMaxPiece;
    if (text[piece - 1] >= 0xD800 && text[piece - 1] <= 0xDBFF)
        --piece; // keep a pair whole
    return piece;
}

} // namespace

int SystemAnsiCodePage() {
    return static_cast<int>(GetACP());
}

bool BytesToUtf16(int codePage, const char* bytes, size_t length, char16_t* out, size_t& produced) {
    if (!IsValidCodePage(static_cast<UINT>(codePage)))
        return false;
    produced = 0;
    while (length) {
        const size_t piece = BytePiece(bytes, length);
        const int pieceLength = static_cast<int>(piece);
        const int needed =
            MultiByteToWideChar(static_cast<UINT>(codePage), 0, bytes, pieceLength, nullptr, 0);
        if (needed <= 0)
            return false;
        if (out) {
            const int written = MultiByteToWideChar(static_cast<UINT>(codePage), 0, bytes, pieceLength,
                                                    reinterpret_cast<wchar_t*>(out + produced), needed);
            if (written != needed)
                return false;
        }
        produced += static_cast<size_t>(needed);
        bytes += piece;
        length -= piece;
    }
    return true;
}

bool Utf16ToBytes(int codePage, const char16_t* text, size_t length, char* out, size_t& produced,
                  bool* usedDefault) {
    if (!IsValidCodePage(static_cast<UINT>(codePage)))
        return false;
    produced = 0;
    while (length) {
        const size_t piece = UnitPiece(text, length);
        const int pieceLength = static_cast<int>(piece);
        const auto* wide = reinterpret_cast<const wchar_t*>(text);
        BOOL defaultUsed = FALSE;
        const int needed = WideCharToMultiByte(static_cast<UINT>(codePage), 0, wide, pieceLength, nullptr, 0,
                                               nullptr, usedDefault ? &defaultUsed : nullptr);
        if (needed <= 0)
            return false;
        if (out) {
            const int written =
                WideCharToMultiByte(static_cast<UINT>(codePage), 0, wide, pieceLength, out + produced, needed,
                                    nullptr, usedDefault ? &defaultUsed : nullptr);
            if (written != needed)
                return false;
        }
        if (usedDefault && defaultUsed)
            *usedDefault = true;
        produced += static_cast<size_t>(needed);
        text += piece;
        length -= piece;
    }
    return true;
}

} // namespace quillon::codec
