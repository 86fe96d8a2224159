// String: the program's 8-bit text type. Owns a heap copy of its bytes, always followed by a
// terminating zero when not empty; the empty string holds no block (Data() is null, CStr() is
// ""). Lengths and positions are signed 32-bit byte counts; no encoding is assumed.
// Copies are deep. Out-of-range positions are clamped as each operation says, never trusted.
#pragma once

#include <cstdint>
#include <cstdarg>

class String {
public:
    String() = default;
    String(const char* text);                 // null gives the empty string
    String(const char* bytes, int32_t length); // exactly length bytes (may hold zeros)
    String(const String& other);
    String(String&& other) noexcept;
    ~String();

    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    String& operator=(const char* text);

    // Null for the empty string; otherwise zero-terminated.
    const char* Data() const { return m_data; }
    // Never null: "" for the empty string.
    const char* CStr() const { return m_data ? m_data : ""; }
    int32_t Length() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    // The byte at index; 0 for an index outside the string.
    char operator[](int32_t index) const;

    // Byte-wise (unsigned) over the shorter length, then the shorter string first.
    int Compare(const String& other) const;
    bool operator==(const String& other) const;
    bool operator!=(const String& other) const { return !(*this == other); }
    bool operator<(const String& other) const { return Compare(other) < 0; }
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const { return !(*this == text); }

    bool EndsWith(const String& suffix) const;
    bool StartsWith(const String& prefix) const;

    // First index i with from <= i and i + what.Length() <= to where what occurs, or -1.
    // to < 0 or past the end means the end of the string; from < 0 means 0. An empty what
    // is found at from when from lies within the string (or at its end).
    int32_t Find(const String& what, int32_t from = 0, int32_t to = -1) const;

    // Inserts text before position; positions past the end append, negative ones prepend.
    void Insert(int32_t position, const String& text);
    String& operator+=(const String& text);
    String& operator+=(char c);
    friend String operator+(const String& a, const String& b);

    // Removes count bytes at position, clamped to the end; nothing for a position outside.
    void Erase(int32_t position, int32_t count);
    // Replaces every non-overlapping occurrence of from, left to right; an empty from
    // changes nothing. Returns the number of replacements.
    int32_t ReplaceAll(const String& from, const String& to);
    // count bytes from position, clamped to the string; count < 0 means to the end.
    String Substring(int32_t position, int32_t count = -1) const;

    // printf-style formatting; the block is sized exactly by a first formatting pass.
    static String Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
    static String FormatV(const char* pattern, va_list args);

    // Frees the bytes: the string becomes empty.
    void Clear();

private:
    void Assign(const char* bytes, int32_t length);

    char* m_data = nullptr;
    int32_t m_length = 0;
};

// [SECTION] UTF-8. Text shown and typed is UTF-8. The helpers never fail: a byte that does
// not start a well-formed sequence (a stray continuation byte, a cut or overlong sequence, a
// surrogate, a value past U+10FFFF) reads as one U+FFFD of one byte, so that every walk
// moves forward and no position is ever skipped.

constexpr uint32_t kReplacementCharacter = 0xFFFD;

// Reads the character at byte position `at` of bytes[0, length): stores its code point in
// *codePoint (when not null) and returns its byte count, 1 to 4; 0 when at lies outside.
int32_t Utf8Decode(const char* bytes, int32_t length, int32_t at, uint32_t* codePoint);
// Writes the UTF-8 form of a code point into out and returns its byte count (1 to 4);
// surrogates and values past U+10FFFF are written as U+FFFD.
int32_t Utf8Encode(uint32_t codePoint, char out[4]);
// Appends one encoded code point.
void Utf8Append(String& text, uint32_t codePoint);
// The position of the character after the one at `at` (the length at most), and of the one
// before it (0 at least). A position inside a sequence moves to that sequence's end / start.
int32_t Utf8Next(const String& text, int32_t at);
int32_t Utf8Previous(const String& text, int32_t at);
// The number of characters, counted as Utf8Decode reads them.
int32_t Utf8Count(const String& text);
// The text with every malformed byte replaced by U+FFFD (well-formed text comes back equal).
String Utf8Sanitize(const String& text);
