// Documents: the Expat-based reader that builds a tree, and Load, Parse and Save.
//
// Index
//   [SECTION] Reading (Expat)
//   [SECTION] Documents: Load, Parse, Save
#include "xml/XMLDocument.h"

#include <expat.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

// ---------------------------------------------------------------------------------------------
// [SECTION] Reading (Expat)
// ---------------------------------------------------------------------------------------------

// Builds the tree of one document from the callbacks of one Expat parser. Character data of
// all open elements is kept in one buffer, innermost element last, so that collecting text
// costs no allocation per element. No exception leaves a callback: Expat's frames are C, so
// a failure inside one (running out of memory included) stops the parser instead.
class CXMLReader {
public:
    explicit CXMLReader(CXMLDocument& document);
    ~CXMLReader();
    CXMLReader(const CXMLReader&) = delete;
    CXMLReader& operator=(const CXMLReader&) = delete;

    // Feeds bytes; final marks the end of the input. False once the input is malformed.
    bool Feed(const char* bytes, size_t length, bool final);

private:
    static void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL OnEnd(void* user, const XML_Char* name);
    static void XMLCALL OnText(void* user, const XML_Char* s, int length);
    static void XMLCALL OnDoctype(void* user, const XML_Char* name, const XML_Char* systemId,
                                  const XML_Char* publicId, int hasInternalSubset);
    // Runs one callback's work, turning any exception into a failure.
    template <typename Work>
    static void Guarded(void* user, Work work) noexcept;

    // Gives node the element's name and attributes.
    static void Fill(CXMLNode& node, const char* name, const char** attributes);
    void Start(const char* name, const char** attributes);
    void End();
    void Text(const char* s, int length);
    // Stops the parser; reason has static lifetime. Only the first failure is kept.
    void Fail(const char* reason) noexcept;
    // The text that the element at level (0 = root) has collected so far.
    void StoreText(CXMLNode& node, size_t from, size_t to);
    void StoreOpenTexts() noexcept;
    // One call of the parser; final marks the end of the input.
    void Parse(const char* bytes, size_t length, bool final);

    XML_Parser m_parser = nullptr;
    CXMLDocument& m_document;
    CXMLNode* m_current = nullptr; // innermost open element; null outside the root
    std::string m_text;
    std::vector<size_t> m_textStart; // per open element, where its data begins in m_text
    char m_start[4];              // the first bytes, held until there are four of them
    size_t m_startLength = 0;
    bool m_started = false;       // the first bytes have gone to the parser
    bool m_failed = false;
    bool m_finished = false;      // the parser has seen the end of the input
};

namespace {
const char kOutOfMemory[] = "out of memory while reading the document";
const char kTooLarge[] = "the file is larger than 64 MB";
static_assert(CXMLDocument::kMaxFileSize == size_t(64) << 20, "kTooLarge names the limit");
} // namespace

CXMLReader::CXMLReader(CXMLDocument& document) : m_document(document)
{
    m_textStart.reserve(CXMLDocument::kMaxDepth); // before the parser, which a throw would leak
    m_parser = XML_ParserCreate(nullptr);
    if (!m_parser) {
        m_failed = true;
        m_document.SetError(kOutOfMemory);
        return;
    }
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(m_parser, OnText);
    XML_SetStartDoctypeDeclHandler(m_parser, OnDoctype);
}

CXMLReader::~CXMLReader()
{
    if (m_parser)
        XML_ParserFree(m_parser);
}

bool CXMLReader::Feed(const char* bytes, size_t length, bool final)
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
    if (m_failed)
        StoreOpenTexts();
    if (final)
        m_finished = true;
    return !m_failed;
}

void CXMLReader::Parse(const char* bytes, size_t length, bool final)
{
    if (m_failed)
        return;
    if (XML_Parse(m_parser, bytes, static_cast<int>(length), final ? XML_TRUE : XML_FALSE) !=
            XML_STATUS_OK &&
        !m_failed) {
        // A fault Expat found itself; one a callback found is already recorded.
        m_failed = true;
        const char* reason = XML_ErrorString(XML_GetErrorCode(m_parser));
        m_document.SetError(reason ? reason : "the document is not well-formed",
                            XML_GetCurrentLineNumber(m_parser),
                            XML_GetCurrentColumnNumber(m_parser) + 1);
    }
    if (final)
        m_finished = true;
}

template <typename Work>
void CXMLReader::Guarded(void* user, Work work) noexcept
{
    auto* reader = static_cast<CXMLReader*>(user);
    try {
        work(*reader);
    } catch (const std::bad_alloc&) {
        reader->Fail(kOutOfMemory);
    } catch (...) {
        reader->Fail("reading stopped by an unexpected error");
    }
}

void XMLCALL CXMLReader::OnStart(void* user, const XML_Char* name, const XML_Char** attributes)
{
    Guarded(user, [&](CXMLReader& reader) { reader.Start(name, attributes); });
}

void XMLCALL CXMLReader::OnEnd(void* user, const XML_Char*)
{
    Guarded(user, [](CXMLReader& reader) { reader.End(); });
}

void XMLCALL CXMLReader::OnText(void* user, const XML_Char* s, int length)
{
    Guarded(user, [&](CXMLReader& reader) { reader.Text(s, length); });
}

void XMLCALL CXMLReader::OnDoctype(void* user, const XML_Char*, const XML_Char*,
                                   const XML_Char*, int hasInternalSubset)
{
    // Called at the opening bracket of an internal subset, before any declaration in it is
    // read. Its entity declarations can expand a small file without bound, and a default
    // attribute value is copied into every element of that name; our files have none.
    if (hasInternalSubset)
        static_cast<CXMLReader*>(user)->Fail(
            "a document type declaration with an internal subset is not accepted");
}

void CXMLReader::Fail(const char* reason) noexcept
{
    if (!m_failed) {
        m_failed = true;
        m_document.SetError(reason, XML_GetCurrentLineNumber(m_parser),
                            XML_GetCurrentColumnNumber(m_parser) + 1);
        XML_StopParser(m_parser, XML_FALSE);
    }
}

void CXMLReader::Fill(CXMLNode& node, const char* name, const char** attributes)
{
    node.name = name;
    size_t count = 0;
    while (attributes[count])
        count += 2;
    node.m_attributes.reserve(count / 2);
    for (size_t i = 0; i < count; i += 2)
        node.m_attributes.emplace_back(String(attributes[i]), String(attributes[i + 1]));
}

void CXMLReader::Start(const char* name, const char** attributes)
{
    if (m_failed)
        return;
    if (m_textStart.size() >= CXMLDocument::kMaxDepth) {
        Fail("elements are nested too deeply");
        return;
    }
    CXMLNode* node = &m_document; // Expat reports exactly one root element
    if (m_current) {
        // Built whole before it joins the tree, so that a failure leaves no half-made node.
        auto child = std::make_unique<CXMLNode>();
        Fill(*child, name, attributes);
        child->m_parent = m_current;
        m_current->m_children.push_back(std::move(child));
        node = m_current->m_children.back().get();
    } else {
        Fill(*node, name, attributes);
    }
    m_textStart.push_back(m_text.size()); // reserved for kMaxDepth levels: does not throw
    m_current = node;
}

void CXMLReader::End()
{
    if (m_failed || !m_current)
        return;
    StoreText(*m_current, m_textStart.back(), m_text.size());
    m_text.resize(m_textStart.back());
    m_textStart.pop_back();
    m_current = m_textStart.empty() ? nullptr : m_current->m_parent;
}

void CXMLReader::Text(const char* s, int length)
{
    if (m_failed || !m_current || length <= 0)
        return;
    if (m_text.size() - m_textStart.back() + static_cast<size_t>(length) > size_t(INT32_MAX)) {
        Fail("an element's text is longer than 2 GB");
        return;
    }
    m_text.append(s, static_cast<size_t>(length));
}

void CXMLReader::StoreText(CXMLNode& node, size_t from, size_t to)
{
    if (node.GetChildCount() > 0) {
        size_t i = from;
        while (i < to && (m_text[i] == ' ' || m_text[i] == '\t' || m_text[i] == '\n' ||
                          m_text[i] == '\r'))
            ++i;
        if (i == to) {
            node.text.Clear(); // only the indentation around child elements
            return;
        }
    }
    node.text = String(m_text.data() + from, static_cast<int32_t>(to - from));
}

void CXMLReader::StoreOpenTexts() noexcept
{
    // The data of open level L lies between its own start and the start of level L + 1.
    try {
        size_t end = m_text.size();
        CXMLNode* node = m_current;
        for (size_t level = m_textStart.size(); level-- > 0 && node; node = node->m_parent) {
            StoreText(*node, m_textStart[level], end);
            end = m_textStart[level];
        }
    } catch (...) {
        // Out of memory: the texts not stored yet stay empty; the failure is recorded.
    }
    m_current = nullptr;
    m_textStart.clear();
    m_text.clear();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Documents: Load, Parse, Save
// ---------------------------------------------------------------------------------------------

namespace {

// Reads all of file into bytes. Returns null, or why it failed (with systemError set for a
// read error). More than limit bytes is a failure, found without reading past limit + 1
// bytes, so that an endless stream is refused too.
const char* ReadWhole(std::FILE* file, size_t limit, std::string& bytes, int& systemError)
{
    size_t expected = 0;
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        expected = static_cast<size_t>(info.st_size);
    if (expected > limit)
        return kTooLarge;
    try {
        // One byte more than expected shows whether the file has grown since.
        bytes.resize(expected < size_t(64) * 1024 ? size_t(64) * 1024 : expected + 1);
        size_t got = 0;
        for (;;) {
            got += std::fread(&bytes[got], 1, bytes.size() - got, file);
            if (std::ferror(file)) { // a folder, for instance
                systemError = errno;
                return "cannot read the file";
            }
            if (got < bytes.size())
                break; // the end of the file
            if (got > limit)
                return kTooLarge;
            bytes.resize(bytes.size() > limit / 2 ? limit + 1 : bytes.size() * 2);
        }
        bytes.resize(got);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    }
    return nullptr;
}

} // namespace

CXMLDocument::CXMLDocument() = default;
CXMLDocument::~CXMLDocument() = default;

CXMLDocument::CXMLDocument(const CXMLDocument& other) : CXMLNode(other) {}

CXMLDocument& CXMLDocument::operator=(const CXMLDocument& other)
{
    CXMLNode::operator=(other);
    return *this;
}

void CXMLDocument::SetError(const char* reason, uint64_t line, uint64_t column,
                            int systemError) noexcept
{
    m_errorReason = reason;
    m_errorLine = reason ? line : 0;
    m_errorColumn = reason ? column : 0;
    m_errorSystem = reason ? systemError : 0;
}

String CXMLDocument::GetError() const
{
    if (!m_errorReason)
        return String();
    std::string text;
    if (m_errorLine > 0)
        text = "line " + std::to_string(m_errorLine) + ", column " +
               std::to_string(m_errorColumn) + ": ";
    text += m_errorReason;
    if (m_errorSystem != 0)
        text += std::string(": ") + std::strerror(m_errorSystem);
    return String(text.data(), static_cast<int32_t>(text.size()));
}

bool CXMLDocument::NoParse()
{
    if (!m_errorReason) // a failed parse keeps its own reason
        SetError("no parse is under way");
    return false;
}

void CXMLDocument::BeginParse()
{
    m_reader.reset();
    Clear();
    SetError(nullptr);
    try {
        m_reader = std::make_unique<CXMLReader>(*this);
    } catch (const std::bad_alloc&) {
        SetError(kOutOfMemory); // ParseMore and EndParse then fail
    }
}

bool CXMLDocument::ParseMore(const char* bytes, size_t length)
{
    if (!m_reader)
        return NoParse();
    return m_reader->Feed(bytes, length, false);
}

bool CXMLDocument::EndParse()
{
    if (!m_reader)
        return NoParse();
    bool ok = m_reader->Feed(nullptr, 0, true);
    m_reader.reset();
    return ok;
}

bool CXMLDocument::Parse(const char* bytes, size_t length)
{
    BeginParse();
    if (!m_reader)
        return false;
    bool ok = m_reader->Feed(bytes, length, true);
    m_reader.reset();
    return ok;
}

bool CXMLDocument::Parse(const char* text)
{
    return Parse(text ? text : "", text ? std::strlen(text) : 0);
}

bool CXMLDocument::Load(const String& path)
{
    std::FILE* file = std::fopen(path.CStr(), "rb");
    if (!file) {
        SetError("cannot open the file", 0, 0, errno);
        return false;
    }
    std::string bytes;
    int systemError = 0;
    const char* failure = ReadWhole(file, kMaxFileSize, bytes, systemError);
    std::fclose(file);
    if (failure) { // nothing was parsed: the tree stays as it was
        SetError(failure, 0, 0, systemError);
        return false;
    }
    return Parse(bytes.data(), bytes.size());
}

bool CXMLDocument::Save(const String& path) const
{
    if (name.IsEmpty())
        return false;
    std::string out = "<?xml version=\"1.0\"?>\n\n";
    SerializeTo(out, 0);
    std::FILE* file = std::fopen(path.CStr(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && ok;
}
