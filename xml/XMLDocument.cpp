// Documents: the Expat-based reader that builds a tree, and Load, Parse and Save.
//
// Index
//   [SECTION] Reading (Expat)
//   [SECTION] Documents: Load, Parse, Save
#include "xml/XMLDocument.h"

#include <expat.h>

#include <cstdio>
#include <cstring>

// ---------------------------------------------------------------------------------------------
// [SECTION] Reading (Expat)
// ---------------------------------------------------------------------------------------------

// Builds the tree of one document from the callbacks of one Expat parser. Character data of
// all open elements is kept in one buffer, innermost element last, so that collecting text
// costs no allocation per element.
class CXMLReader {
public:
    explicit CXMLReader(CXMLNode& root);
    ~CXMLReader();
    CXMLReader(const CXMLReader&) = delete;
    CXMLReader& operator=(const CXMLReader&) = delete;

    // Feeds bytes; final marks the end of the input. False once the input is malformed.
    bool Feed(const char* bytes, size_t length, bool final);

private:
    static void XMLCALL OnStart(void* user, const XML_Char* name, const XML_Char** attributes);
    static void XMLCALL OnEnd(void* user, const XML_Char* name);
    static void XMLCALL OnText(void* user, const XML_Char* s, int length);
    static void XMLCALL OnEntityDeclaration(void* user, const XML_Char*, int, const XML_Char*,
                                            int, const XML_Char*, const XML_Char*,
                                            const XML_Char*, const XML_Char*);

    void Start(const char* name, const char** attributes);
    void End();
    void Text(const char* s, int length);
    void Fail();
    // The text that the element at level (0 = root) has collected so far.
    void StoreText(CXMLNode& node, size_t from, size_t to);
    void StoreOpenTexts();

    XML_Parser m_parser = nullptr;
    CXMLNode& m_root;
    CXMLNode* m_current = nullptr; // innermost open element; null outside the root
    std::string m_text;
    std::vector<size_t> m_textStart; // per open element, where its data begins in m_text
    bool m_failed = false;
    bool m_finished = false;
};

CXMLReader::CXMLReader(CXMLNode& root) : m_root(root)
{
    m_parser = XML_ParserCreate(nullptr);
    if (!m_parser) {
        m_failed = true;
        return;
    }
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(m_parser, OnText);
    // Entities declared by the document are refused: none of our files declares one, and
    // expanding them lets a small file grow without bound.
    XML_SetEntityDeclHandler(m_parser, OnEntityDeclaration);
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
    const size_t kPiece = size_t(1) << 30; // Expat takes int lengths
    do {
        int piece = static_cast<int>(length < kPiece ? length : kPiece);
        length -= static_cast<size_t>(piece);
        bool last = final && length == 0;
        if (XML_Parse(m_parser, bytes, piece, last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK)
            m_failed = true;
        bytes += piece;
    } while (length > 0 && !m_failed);
    if (m_failed)
        StoreOpenTexts();
    if (final)
        m_finished = true;
    return !m_failed;
}

void XMLCALL CXMLReader::OnStart(void* user, const XML_Char* name, const XML_Char** attributes)
{
    static_cast<CXMLReader*>(user)->Start(name, attributes);
}

void XMLCALL CXMLReader::OnEnd(void* user, const XML_Char*)
{
    static_cast<CXMLReader*>(user)->End();
}

void XMLCALL CXMLReader::OnText(void* user, const XML_Char* s, int length)
{
    static_cast<CXMLReader*>(user)->Text(s, length);
}

void XMLCALL CXMLReader::OnEntityDeclaration(void* user, const XML_Char*, int, const XML_Char*,
                                             int, const XML_Char*, const XML_Char*,
                                             const XML_Char*, const XML_Char*)
{
    static_cast<CXMLReader*>(user)->Fail();
}

void CXMLReader::Fail()
{
    if (!m_failed) {
        m_failed = true;
        XML_StopParser(m_parser, XML_FALSE);
    }
}

void CXMLReader::Start(const char* name, const char** attributes)
{
    if (m_failed)
        return;
    if (m_textStart.size() >= CXMLDocument::kMaxDepth) {
        Fail();
        return;
    }
    CXMLNode* node;
    if (!m_current) {
        node = &m_root; // Expat reports exactly one root element
    } else {
        m_current->m_children.push_back(std::make_unique<CXMLNode>());
        node = m_current->m_children.back().get();
        node->m_parent = m_current;
    }
    node->name = name;
    size_t count = 0;
    while (attributes[count])
        count += 2;
    node->m_attributes.reserve(count / 2);
    for (size_t i = 0; i < count; i += 2)
        node->m_attributes.emplace_back(String(attributes[i]), String(attributes[i + 1]));
    m_current = node;
    m_textStart.push_back(m_text.size());
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
        Fail(); // more text than a String can hold
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

void CXMLReader::StoreOpenTexts()
{
    // The data of open level L lies between its own start and the start of level L + 1.
    size_t end = m_text.size();
    CXMLNode* node = m_current;
    for (size_t level = m_textStart.size(); level-- > 0 && node; node = node->m_parent) {
        StoreText(*node, m_textStart[level], end);
        end = m_textStart[level];
    }
    m_current = nullptr;
    m_textStart.clear();
    m_text.clear();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Documents: Load, Parse, Save
// ---------------------------------------------------------------------------------------------

CXMLDocument::CXMLDocument() = default;
CXMLDocument::~CXMLDocument() = default;

CXMLDocument::CXMLDocument(const CXMLDocument& other) : CXMLNode(other) {}

CXMLDocument& CXMLDocument::operator=(const CXMLDocument& other)
{
    CXMLNode::operator=(other);
    return *this;
}

void CXMLDocument::BeginParse()
{
    m_reader.reset();
    Clear();
    m_reader = std::make_unique<CXMLReader>(*this);
}

bool CXMLDocument::ParseMore(const char* bytes, size_t length)
{
    return m_reader && m_reader->Feed(bytes, length, false);
}

bool CXMLDocument::EndParse()
{
    if (!m_reader)
        return false;
    bool ok = m_reader->Feed(nullptr, 0, true);
    m_reader.reset();
    return ok;
}

bool CXMLDocument::Parse(const char* bytes, size_t length)
{
    BeginParse();
    if (!m_reader->Feed(bytes, length, true)) {
        m_reader.reset();
        return false;
    }
    m_reader.reset();
    return true;
}

bool CXMLDocument::Parse(const char* text)
{
    return Parse(text ? text : "", text ? std::strlen(text) : 0);
}

bool CXMLDocument::Load(const String& path)
{
    std::FILE* file = std::fopen(path.CStr(), "rb");
    if (!file)
        return false;
    std::vector<char> block(size_t(64) * 1024);
    size_t got = std::fread(block.data(), 1, block.size(), file);
    if (std::ferror(file)) { // a folder, for instance: nothing was read, the tree stays
        std::fclose(file);
        return false;
    }
    BeginParse();
    bool ok = true;
    while (got > 0 && ok) {
        ok = ParseMore(block.data(), got);
        got = std::fread(block.data(), 1, block.size(), file);
    }
    if (std::ferror(file))
        ok = false;
    std::fclose(file);
    return EndParse() && ok;
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
