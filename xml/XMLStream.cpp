// The Expat driver behind CXMLStream, and StreamXMLFile.
#include "xml/XMLStream.h"

#include <expat.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

const char kXMLOutOfMemory[] = "out of memory while reading the document";
const char kXMLTooLarge[] = "the file is larger than 64 MB";
static_assert(kXMLMaxFileSize == size_t(64) << 20, "kXMLTooLarge names the limit");

String XMLError::Text() const
{
    if (!reason)
        return String();
    std::string text;
    if (line > 0)
        text = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
    text += reason;
    if (system != 0)
        text += std::string(": ") + std::strerror(system);
    return String(text.data(), static_cast<int32_t>(text.size()));
}

// One Expat parser and the state of one document. No exception leaves a callback: Expat's
// frames are C, so a failure inside one (running out of memory included) stops the parser.
class CXMLStream::CExpat {
public:
    CExpat(CXMLHandler& handler, XMLError& error);
    ~CExpat();
    CExpat(const CExpat&) = delete;
    CExpat& operator=(const CExpat&) = delete;

    bool Feed(const char* bytes, size_t length, bool final);
    // Stops the parser; reason has static lifetime. Only the first failure is kept.
    void Fail(const char* reason) noexcept;

private:
    static void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL OnEnd(void* user, const XML_Char* name);
    static void XMLCALL OnText(void* user, const XML_Char* s, int length);
    static void XMLCALL OnDoctype(void* user, const XML_Char* name, const XML_Char* systemId,
                                  const XML_Char* publicId, int hasInternalSubset);
    // Runs one callback's work, turning an exception or a returned reason into a failure.
    template <typename Work>
    static void Guarded(void* user, Work work) noexcept;
    // One call of the parser; final marks the end of the input.
    void Parse(const char* bytes, size_t length, bool final);

    XML_Parser m_parser = nullptr;
    CXMLHandler& m_handler;
    XMLError& m_error;
    uint32_t m_depth = 0;   // open elements
    char m_start[4];        // the first bytes, held until there are four of them
    size_t m_startLength = 0;
    bool m_started = false; // the first bytes have gone to the parser
    bool m_failed = false;
    bool m_finished = false; // the parser has seen the end of the input
};

CXMLStream::CExpat::CExpat(CXMLHandler& handler, XMLError& error) : m_handler(handler), m_error(error)
{
    m_parser = XML_ParserCreate(nullptr);
    if (!m_parser) {
        m_failed = true;
        m_error = XMLError{kXMLOutOfMemory};
        return;
    }
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(m_parser, OnText);
    XML_SetStartDoctypeDeclHandler(m_parser, OnDoctype);
}

CXMLStream::CExpat::~CExpat()
{
    if (m_parser)
        XML_ParserFree(m_parser);
}

bool CXMLStream::CExpat::Feed(const char* bytes, size_t length, bool final)
{
    if (m_failed || m_finished)
        return false;
    // Expat settles the encoding on the first bytes it is given: hand it at least four at
    // once (enough for any byte order mark or UTF-16 pattern), however the input is cut.
    if (!m_started) {
        if (m_startLength + length < sizeof m_start && !final) {
            if (length > 0)
                std::memcpy(m_start + m_startLength, bytes, length);
            m_startLength += length;
            return true;
        }
        m_started = true;
        if (m_startLength > 0) {
            while (length > 0 && m_startLength < sizeof m_start) {
                m_start[m_startLength++] = *bytes++;
                --length;
            }
            Parse(m_start, m_startLength, final && length == 0);
        }
    }
    const size_t kPiece = size_t(1) << 30; // Expat takes int lengths
    while (length > 0 && !m_failed) {
        size_t piece = length < kPiece ? length : kPiece;
        length -= piece;
        Parse(bytes, piece, final && length == 0);
        bytes += piece;
    }
    if (final && !m_failed && !m_finished)
        Parse(nullptr, 0, true);
    if (final)
        m_finished = true;
    return !m_failed;
}

void CXMLStream::CExpat::Parse(const char* bytes, size_t length, bool final)
{
    if (m_failed)
        return;
    if (XML_Parse(m_parser, bytes, static_cast<int>(length), final ? XML_TRUE : XML_FALSE) !=
            XML_STATUS_OK &&
        !m_failed) {
        // A fault Expat found itself; one a callback found is already recorded.
        m_failed = true;
        const char* reason = XML_ErrorString(XML_GetErrorCode(m_parser));
        m_error = XMLError{reason ? reason : "the document is not well-formed",
                           XML_GetCurrentLineNumber(m_parser),
                           XML_GetCurrentColumnNumber(m_parser) + 1};
    }
    if (final)
        m_finished = true;
}

void CXMLStream::CExpat::Fail(const char* reason) noexcept
{
    if (!m_failed) {
        m_failed = true;
        m_error = XMLError{reason, XML_GetCurrentLineNumber(m_parser),
                           XML_GetCurrentColumnNumber(m_parser) + 1};
        XML_StopParser(m_parser, XML_FALSE);
    }
}

template <typename Work>
void CXMLStream::CExpat::Guarded(void* user, Work work) noexcept
{
    auto* expat = static_cast<CExpat*>(user);
    if (expat->m_failed)
        return;
    try {
        if (const char* reason = work(*expat))
            expat->Fail(reason);
    } catch (const std::bad_alloc&) {
        expat->Fail(kXMLOutOfMemory);
    } catch (...) {
        expat->Fail("reading stopped by an unexpected error");
    }
}

void XMLCALL CXMLStream::CExpat::OnStart(void* user, const XML_Char* name, const XML_Char** attributes)
{
    Guarded(user, [&](CExpat& expat) -> const char* {
        if (expat.m_depth >= kXMLMaxDepth)
            return "elements are nested too deeply";
        if (const char* reason = expat.m_handler.StartElement(name, attributes))
            return reason;
        ++expat.m_depth;
        return nullptr;
    });
}

void XMLCALL CXMLStream::CExpat::OnEnd(void* user, const XML_Char*)
{
    Guarded(user, [](CExpat& expat) -> const char* {
        if (expat.m_depth == 0)
            return nullptr;
        --expat.m_depth;
        return expat.m_handler.EndElement();
    });
}

void XMLCALL CXMLStream::CExpat::OnText(void* user, const XML_Char* s, int length)
{
    Guarded(user, [&](CExpat& expat) -> const char* {
        if (expat.m_depth == 0 || length <= 0)
            return nullptr;
        return expat.m_handler.Text(s, static_cast<size_t>(length));
    });
}

void XMLCALL CXMLStream::CExpat::OnDoctype(void* user, const XML_Char*, const XML_Char*,
                                           const XML_Char*, int hasInternalSubset)
{
    // Called at the opening bracket of an internal subset, before any declaration in it is
    // read. Its entity declarations can expand a small file without bound, and a default
    // attribute value is copied into every element of that name; our files have none.
    if (hasInternalSubset)
        static_cast<CExpat*>(user)->Fail(
            "a document type declaration with an internal subset is not accepted");
}

CXMLStream::CXMLStream(CXMLHandler& handler)
{
    try {
        m_expat = std::make_unique<CExpat>(handler, m_error);
    } catch (const std::bad_alloc&) {
        m_error = XMLError{kXMLOutOfMemory};
    }
}

CXMLStream::~CXMLStream() = default;

bool CXMLStream::Feed(const char* bytes, size_t length, bool final)
{
    return m_expat && m_expat->Feed(bytes, length, final);
}

bool StreamXMLFile(const String& path, CXMLHandler& handler, XMLError& error)
{
    const size_t kBlock = 64 * 1024;
    error = XMLError();
    std::FILE* file = std::fopen(path.CStr(), "rb");
    if (!file) {
        error = XMLError{"cannot open the file", 0, 0, errno};
        return false;
    }
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<uint64_t>(info.st_size) > kXMLMaxFileSize) {
        std::fclose(file);
        error = XMLError{kXMLTooLarge};
        return false;
    }
    std::unique_ptr<char[]> block(new (std::nothrow) char[kBlock]);
    if (!block) {
        std::fclose(file);
        error = XMLError{kXMLOutOfMemory};
        return false;
    }
    CXMLStream stream(handler);
    size_t total = 0;
    bool ok = true;
    for (;;) {
        const size_t got = std::fread(block.get(), 1, kBlock, file);
        total += got;
        if (std::ferror(file)) { // a folder, for instance
            error = XMLError{"cannot read the file", 0, 0, errno};
            ok = false;
            break;
        }
        if (total > kXMLMaxFileSize) {
            error = XMLError{kXMLTooLarge};
            ok = false;
            break;
        }
        const bool end = got < kBlock;
        if (!stream.Feed(block.get(), got, end)) {
            error = stream.Error();
            ok = false;
            break;
        }
        if (end)
            break;
    }
    std::fclose(file);
    return ok;
}
