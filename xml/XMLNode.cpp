// XML nodes: copies, lookups, number reading from attribute values, and the writer.
//
// Index
//   [SECTION] Nodes: copies, moves, lookups, children
//   [SECTION] Reading numbers from attribute values
//   [SECTION] Writing
#include "xml/XMLDocument.h"

#include "util/Number.h"

#include <cfloat>
#include <cmath>
#include <utility>

// ---------------------------------------------------------------------------------------------
// [SECTION] Nodes: copies, moves, lookups, children
// ---------------------------------------------------------------------------------------------

CXMLNode::CXMLNode(const CXMLNode& other) { CopyContent(other); }

CXMLNode::CXMLNode(CXMLNode&& other) noexcept
    : name(std::move(other.name)), text(std::move(other.text)),
      m_attributes(std::move(other.m_attributes)), m_children(std::move(other.m_children))
{
    AdoptChildren();
}

CXMLNode& CXMLNode::operator=(const CXMLNode& other)
{
    if (this != &other) {
        // other may live inside this subtree: copy it before anything here is destroyed.
        CXMLNode copy(other);
        *this = std::move(copy);
    }
    return *this;
}

CXMLNode& CXMLNode::operator=(CXMLNode&& other) noexcept
{
    if (this != &other) {
        // Take everything out of other first: it may be a descendant that dies below.
        String newName(std::move(other.name));
        String newText(std::move(other.text));
        std::vector<CXMLAttribute> attributes(std::move(other.m_attributes));
        std::vector<std::unique_ptr<CXMLNode>> children(std::move(other.m_children));
        name = std::move(newName);
        text = std::move(newText);
        m_attributes = std::move(attributes);
        m_children = std::move(children);
        AdoptChildren();
    }
    return *this;
}

void CXMLNode::CopyContent(const CXMLNode& other)
{
    name = other.name;
    text = other.text;
    m_attributes = other.m_attributes;
    m_children.reserve(other.m_children.size());
    for (const auto& child : other.m_children) {
        m_children.push_back(std::make_unique<CXMLNode>(*child));
        m_children.back()->m_parent = this;
    }
}

void CXMLNode::AdoptChildren()
{
    for (auto& child : m_children)
        child->m_parent = this;
}

void CXMLNode::Clear()
{
    name.Clear();
    text.Clear();
    std::vector<CXMLAttribute>().swap(m_attributes);
    std::vector<std::unique_ptr<CXMLNode>>().swap(m_children);
}

const CXMLAttribute* CXMLNode::FindAttribute(const String& attributeName, uint32_t n) const
{
    if (n == 0)
        return nullptr;
    for (const CXMLAttribute& attribute : m_attributes)
        if (attribute.name == attributeName && --n == 0)
            return &attribute;
    return nullptr;
}

CXMLAttribute* CXMLNode::FindAttribute(const String& attributeName, uint32_t n)
{
    return const_cast<CXMLAttribute*>(std::as_const(*this).FindAttribute(attributeName, n));
}

const CXMLAttribute* CXMLNode::GetAttribute(uint32_t index) const
{
    return index < m_attributes.size() ? &m_attributes[index] : nullptr;
}

CXMLAttribute* CXMLNode::GetAttribute(uint32_t index)
{
    return index < m_attributes.size() ? &m_attributes[index] : nullptr;
}

void CXMLNode::AddAttribute(const CXMLAttribute& attribute) { m_attributes.push_back(attribute); }

void CXMLNode::AddAttribute(const String& attributeName, const String& value)
{
    m_attributes.emplace_back(attributeName, value);
}

const CXMLNode* CXMLNode::FindChild(const String& childName, uint32_t n) const
{
    if (n == 0)
        return nullptr;
    for (const auto& child : m_children)
        if (child->name == childName && --n == 0)
            return child.get();
    return nullptr;
}

CXMLNode* CXMLNode::FindChild(const String& childName, uint32_t n)
{
    return const_cast<CXMLNode*>(std::as_const(*this).FindChild(childName, n));
}

const CXMLNode* CXMLNode::GetChild(uint32_t index) const
{
    return index < m_children.size() ? m_children[index].get() : nullptr;
}

CXMLNode* CXMLNode::GetChild(uint32_t index)
{
    return index < m_children.size() ? m_children[index].get() : nullptr;
}

String CXMLNode::GetChildText(const String& childName, uint32_t n) const
{
    const CXMLNode* child = FindChild(childName, n);
    return child ? child->text : String();
}

CXMLNode* CXMLNode::AddChild(const CXMLNode& child)
{
    auto node = std::make_unique<CXMLNode>(child); // copied before this node changes
    node->m_parent = this;
    m_children.push_back(std::move(node));
    return m_children.back().get();
}

CXMLNode* CXMLNode::AddChild(CXMLNode&& child)
{
    // Moving this node or one of its ancestors below itself would make the tree own itself.
    for (const CXMLNode* node = this; node; node = node->m_parent)
        if (node == &child)
            return AddChild(static_cast<const CXMLNode&>(child));
    auto node = std::make_unique<CXMLNode>(std::move(child));
    node->m_parent = this;
    m_children.push_back(std::move(node));
    return m_children.back().get();
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Reading numbers from attribute values
// ---------------------------------------------------------------------------------------------

namespace {

// The integer an attribute value starts with, saturated to the 32-bit range; 0 when none.
int32_t ReadInt(const char* s)
{
    int64_t value = 0;
    ParseInteger(s, value);
    return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}

// The decimal number an attribute value starts with, read as a double and then rounded to
// float, saturated at the float range (so overflow gives +-FLT_MAX); 0 when none.
float ReadFloat(const char* s)
{
    double value = 0.0;
    ParseNumber(s, value);
    const double size = std::fabs(value);
    const float magnitude = size > FLT_MAX ? FLT_MAX : static_cast<float>(size);
    return std::signbit(value) ? -magnitude : magnitude;
}

bool EqualsTrueIgnoringCase(const String& value)
{
    if (value.Length() != 4)
        return false;
    static const char kTrue[] = "true";
    for (int32_t i = 0; i < 4; ++i) {
        char c = value[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kTrue[i])
            return false;
    }
    return true;
}

} // namespace

String CXMLNode::GetAttributeString(const String& attributeName, uint32_t n) const
{
    const CXMLAttribute* attribute = FindAttribute(attributeName, n);
    return attribute ? attribute->value : String();
}

int32_t CXMLNode::GetAttributeInt(const String& attributeName, uint32_t n) const
{
    const CXMLAttribute* attribute = FindAttribute(attributeName, n);
    return attribute ? ReadInt(attribute->value.CStr()) : 0;
}

float CXMLNode::GetAttributeFloat(const String& attributeName, uint32_t n) const
{
    const CXMLAttribute* attribute = FindAttribute(attributeName, n);
    return attribute ? ReadFloat(attribute->value.CStr()) : 0.0f;
}

bool CXMLNode::GetAttributeBool(const String& attributeName, uint32_t n) const
{
    const CXMLAttribute* attribute = FindAttribute(attributeName, n);
    if (!attribute)
        return false;
    return EqualsTrueIgnoringCase(attribute->value) || ReadInt(attribute->value.CStr()) >= 1;
}

// ---------------------------------------------------------------------------------------------
// [SECTION] Writing
// ---------------------------------------------------------------------------------------------

namespace {

// Length of the well-formed UTF-8 sequence for one XML character at s, or 0 when the bytes
// there are malformed, a surrogate, beyond U+10FFFF, or U+FFFE / U+FFFF.
size_t CharacterLength(const unsigned char* s, size_t available)
{
    unsigned char c = s[0];
    if (c < 0x80)
        return 1;
    auto continuation = [&](size_t i) { return i < available && (s[i] & 0xC0) == 0x80; };
    if (c < 0xC2)
        return 0;
    if (c < 0xE0)
        return continuation(1) ? 2 : 0;
    if (c < 0xF0) {
        if (!continuation(1) || !continuation(2))
            return 0;
        if ((c == 0xE0 && s[1] < 0xA0) || (c == 0xED && s[1] >= 0xA0))
            return 0;
        if (c == 0xEF && s[1] == 0xBF && s[2] >= 0xBE)
            return 0;
        return 3;
    }
    if (c < 0xF5) {
        if (!continuation(1) || !continuation(2) || !continuation(3))
            return 0;
        if ((c == 0xF0 && s[1] < 0x90) || (c == 0xF4 && s[1] >= 0x90))
            return 0;
        return 4;
    }
    return 0;
}

void AppendEscaped(std::string& out, const String& value)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(value.CStr());
    size_t length = static_cast<size_t>(value.Length());
    size_t run = 0; // start of the bytes that need no change
    for (size_t i = 0; i < length;) {
        unsigned char c = s[i];
        const char* replacement = nullptr;
        size_t step = 1;
        switch (c) {
        case '"': replacement = "&#34;"; break;
        case '&': replacement = "&#38;"; break;
        case '<': replacement = "&#60;"; break;
        case '>': replacement = "&#62;"; break;
        case '\n': replacement = "&#10;"; break;
        case '\r': replacement = "&#13;"; break;
        case '\t': replacement = "&#9;"; break;
        default:
            if (c < 0x20) {
                replacement = ""; // not a character XML can carry
            } else if (c >= 0x80) {
                step = CharacterLength(s + i, length - i);
                if (step == 0) {
                    replacement = "\xEF\xBF\xBD";
                    step = 1;
                }
            }
        }
        if (replacement) {
            out.append(reinterpret_cast<const char*>(s) + run, i - run);
            out.append(replacement);
            run = i + step;
        }
        i += step;
    }
    out.append(reinterpret_cast<const char*>(s) + run, length - run);
}

void AppendName(std::string& out, const String& name)
{
    out.append(name.CStr(), static_cast<size_t>(name.Length()));
}

} // namespace

void CXMLNode::SerializeTo(std::string& out, int32_t depth) const
{
    if (depth < 0)
        depth = 0;
    out.append(static_cast<size_t>(depth), '\t');
    out += '<';
    AppendName(out, name);
    for (const CXMLAttribute& attribute : m_attributes) {
        out += ' ';
        AppendName(out, attribute.name);
        out += "=\"";
        AppendEscaped(out, attribute.value);
        out += '"';
    }
    if (m_children.empty()) {
        size_t open = out.size();
        out += '>';
        AppendEscaped(out, text);
        if (out.size() == open + 1) { // no text, or none that XML can carry
            out.resize(open);
            out += " />\n";
        } else {
            out += "</";
            AppendName(out, name);
            out += ">\n";
        }
        return;
    }
    out += ">\n";
    for (const auto& child : m_children)
        child->SerializeTo(out, depth + 1);
    out.append(static_cast<size_t>(depth), '\t');
    out += "</";
    AppendName(out, name);
    out += '>';
    if (depth != 0)
        out += '\n';
}

String CXMLNode::Serialize(int32_t depth) const
{
    std::string out;
    SerializeTo(out, depth);
    if (out.size() > static_cast<size_t>(INT32_MAX))
        return String();
    return String(out.data(), static_cast<int32_t>(out.size()));
}

