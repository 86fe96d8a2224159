// Streaming XML: the reading rules every structured file shares, with the events handed to a
// handler as the bytes arrive and no tree kept. CXMLDocument builds its tree on top of this;
// a reader that only needs a few values (the project file) uses it alone, in memory that does
// not grow with the document. Expat stays inside XMLStream.cpp. One stream per thread.
#pragma once

#include "util/String.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Elements nested deeper than this are refused.
constexpr uint32_t kXMLMaxDepth = 1000;
// Files larger than this are refused.
constexpr size_t kXMLMaxFileSize = size_t(64) << 20;
// The reasons for running out of memory and for a file above kXMLMaxFileSize.
extern const char kXMLOutOfMemory[];
extern const char kXMLTooLarge[];

// Why reading failed. reason has static lifetime (failing never allocates); null while
// nothing has failed. line 0 means no place in the document; system is an errno value or 0.
struct XMLError {
    const char* reason = nullptr;
    uint64_t line = 0;   // from 1
    uint64_t column = 0; // from 1
    int system = 0;

    // One line for a person: "line 3, column 7: mismatched tag", with ": " and the system's
    // text after a failed open or read. Empty when nothing failed.
    String Text() const;
};

// Receives the events of one document in order. A handler may throw: std::bad_alloc stops the
// reading as "out of memory", anything else as an unexpected error. Returning a reason (with
// static lifetime) instead of null stops it with that reason.
class CXMLHandler {
public:
    virtual ~CXMLHandler() = default;
    // attributes: name and value pairs, ending with a null; valid only during the call. Names
    // are not namespace-processed; Expat has refused a repeated attribute already.
    virtual const char* StartElement(const char* name, const char** attributes) = 0;
    virtual const char* EndElement() = 0;
    // Character data of the innermost open element, references resolved; s is not
    // zero-terminated and length is above 0. One text may come in several calls.
    virtual const char* Text(const char* s, size_t length) = 0;
};

// Reads one document into a handler. Refuses a document type declaration with an internal
// subset (its declarations let a small file expand without bound, and none of our files has
// one) and nesting deeper than kXMLMaxDepth. Documents are read as UTF-8 unless they declare
// an encoding Expat knows; where the input is cut does not change the events or the result.
class CXMLStream {
public:
    explicit CXMLStream(CXMLHandler& handler);
    ~CXMLStream();
    CXMLStream(const CXMLStream&) = delete;
    CXMLStream& operator=(const CXMLStream&) = delete;

    // Feeds the next bytes; final marks the end of the input. False once the document is
    // known to be malformed or a handler stopped it (later calls then change nothing), and
    // after the end of the input.
    bool Feed(const char* bytes, size_t length, bool final);
    const XMLError& Error() const { return m_error; }

private:
    class CExpat;
    std::unique_ptr<CExpat> m_expat;
    XMLError m_error;
};

// Reads the file at path through a stream in blocks, never holding more than one block of it.
// False, with error set, when the file cannot be opened or read ("cannot open the file" or
// "cannot read the file" with the errno value), holds more than kXMLMaxFileSize bytes (found
// from its size before anything is read, or by counting for a stream such as a pipe), or the
// document fails. The handler may have seen part of the document before a failure.
bool StreamXMLFile(const String& path, CXMLHandler& handler, XMLError& error);
