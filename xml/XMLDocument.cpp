// Documents: the reader that builds a tree from a stream's events, and Load, Parse and Save.
//
// Index
//   [SECTION] Reading
//   [SECTION] Documents: Load, Parse, Save
#include "xml/XMLDocument.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

// ---------------------------------------------------------------------------------------------
// [SECTION] Reading
// ---------------------------------------------------------------------------------------------

// Builds the tree of one document from the events of one stream. Character data of all open
// elements is kept in one buffer, innermost element last, so that collecting text costs no
// allocation per element.
class CXMLReader : public CXMLHandler {
public:
    explicit CXMLReader(CXMLDocument& document);
    CXMLReader(const CXMLReader&) = delete;
    CXMLReader& operator=(const CXMLReader&) = delete;

    // Feeds bytes; final marks the end of the input. False once the input is malformed; the
    // document then holds the reason and every node built before it, texts included.
    bool Feed(const char* bytes, size_t length, bool final);

private:
    // Gives node the element's name and attributes.
    static void Fill(CXMLNode& node, const char* name, const char** attributes);
    const char* StartElement(const char* name, const char** attributes) override;
    const char* EndElement() override;
    const char* Text(const char* s, size_t length) override;
    // The text that the element at level (0 = root) has collected so far.
    void StoreText(CXMLNode& node, size_t from, size_t to);
    void StoreOpenTexts() noexcept;

    CXMLDocument& m_document;
    CXMLNode* m_current = nullptr; // innermost open element; null outside the root
    std::string m_text;
    std::vector<size_t> m_textStart; // per open element, where its data begins in m_text
    CXMLStream m_stream;             // last: its parser is made once the rest exists
};

CXMLReader::CXMLReader(CXMLDocument& document) : m_document(document), m_stream(*this)
{
    m_textStart.reserve(kXMLMaxDepth); // so that opening an element never throws after linking it
    m_document.m_error = m_stream.Error();
}

bool CXMLReader::Feed(const char* bytes, size_t length, bool final)
{
    if (m_stream.Feed(bytes, length, final))
        return true;
    if (m_stream.Error().reason) {
        m_document.m_error = m_stream.Error();
        StoreOpenTexts();
    }
    return false;
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

const char* CXMLReader::StartElement(const char* name, const char** attributes)
{
    CXMLNode* node = &m_document; // a document has exactly one root element
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
    m_textStart.push_back(m_text.size()); // reserved for kXMLMaxDepth levels: does not throw
    m_current = node;
    return nullptr;
}

const char* CXMLReader::EndElement()
{
    if (!m_current)
        return nullptr;
    StoreText(*m_current, m_textStart.back(), m_text.size());
    m_text.resize(m_textStart.back());
    m_textStart.pop_back();
    m_current = m_textStart.empty() ? nullptr : m_current->m_parent;
    return nullptr;
}

const char* CXMLReader::Text(const char* s, size_t length)
{
    if (!m_current)
        return nullptr;
    if (m_text.size() - m_textStart.back() + length > size_t(INT32_MAX))
        return "an element's text is longer than 2 GB";
    m_text.append(s, length);
    return nullptr;
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
        return kXMLTooLarge;
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
                return kXMLTooLarge;
            bytes.resize(bytes.size() > limit / 2 ? limit + 1 : bytes.size() * 2);
        }
        bytes.resize(got);
    } catch (const std::bad_alloc&) {
        return kXMLOutOfMemory;
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
    m_error = reason ? XMLError{reason, line, column, systemError} : XMLError();
}

String CXMLDocument::GetError() const { return m_error.Text(); }

bool CXMLDocument::NoParse()
{
    if (!m_error.reason) // a failed parse keeps its own reason
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
        SetError(kXMLOutOfMemory); // ParseMore and EndParse then fail
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
