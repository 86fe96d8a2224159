// The XML tree shared by every structured file (resources, GUI descriptions, projects):
// elements with a name, a text, ordered attributes and ordered children. CXMLDocument reads a
// file into the tree and writes it back in the program's fixed layout. Comments, processing
// instructions, DOCTYPE and namespaces are not represented. A node owns its whole subtree;
// child addresses stay valid until that child is removed (Clear) or its parent destroyed.
#pragma once

#include "util/String.h"
#include "xml/XMLStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CXMLAttribute {
public:
    CXMLAttribute() = default;
    CXMLAttribute(const String& name, const String& value) : name(name), value(value) {}

    void SetText(const String& text) { value = text; }
    // "true" or "false".
    void SetBool(bool on) { value = on ? "true" : "false"; }

    String name;
    String value;
};

// One element. Copies are deep; a copy starts as a root (no parent) until AddChild places it.
// Lookups by name compare bytes exactly and take an occurrence counted from 1: the n-th entry
// of that name, or nothing when there are fewer (n = 0 finds nothing).
class CXMLNode {
public:
    CXMLNode() = default;
    explicit CXMLNode(const String& name) : name(name) {}
    CXMLNode(const CXMLNode& other);
    CXMLNode(CXMLNode&& other) noexcept;
    // Both assignments replace name, text, attributes and children; the node keeps its own
    // place in its tree (its parent).
    CXMLNode& operator=(const CXMLNode& other);
    CXMLNode& operator=(CXMLNode&& other) noexcept;
    ~CXMLNode() = default;

    // --- attributes
    CXMLAttribute* FindAttribute(const String& attributeName, uint32_t n = 1);
    const CXMLAttribute* FindAttribute(const String& attributeName, uint32_t n = 1) const;
    // Copy of the value; empty when absent.
    String GetAttributeString(const String& attributeName, uint32_t n = 1) const;
    // Leading blanks and a sign, then decimal digits up to the first other character;
    // 0 when no digit is read or the attribute is absent; saturates at the int32 limits.
    int32_t GetAttributeInt(const String& attributeName, uint32_t n = 1) const;
    // Leading blanks, sign, digits, fraction and exponent (decimal only, "." as the point,
    // independent of the locale); reading stops where the number cannot go on; 0 when
    // nothing is read or the attribute is absent. Magnitudes beyond float saturate at FLT_MAX.
    float GetAttributeFloat(const String& attributeName, uint32_t n = 1) const;
    // True for "true" in any ASCII case, or for a value that reads as an integer >= 1.
    bool GetAttributeBool(const String& attributeName, uint32_t n = 1) const;
    uint32_t GetAttributeCount() const { return static_cast<uint32_t>(m_attributes.size()); }
    // Null when index is not below the count.
    CXMLAttribute* GetAttribute(uint32_t index);
    const CXMLAttribute* GetAttribute(uint32_t index) const;
    // Appends a copy, after any attribute of the same name (names are not made unique).
    void AddAttribute(const CXMLAttribute& attribute);
    void AddAttribute(const String& attributeName, const String& value);

    // --- children
    CXMLNode* FindChild(const String& childName, uint32_t n = 1);
    const CXMLNode* FindChild(const String& childName, uint32_t n = 1) const;
    // Null when index is not below the count.
    CXMLNode* GetChild(uint32_t index);
    const CXMLNode* GetChild(uint32_t index) const;
    uint32_t GetChildCount() const { return static_cast<uint32_t>(m_children.size()); }
    // Copy of that child's text; empty when there is no such child.
    String GetChildText(const String& childName, uint32_t n = 1) const;
    // Appends a deep copy of child (or takes over a temporary) as the last child and returns
    // it. The argument itself is left alone. Adding a node to itself adds a copy of it as it
    // was before the call.
    CXMLNode* AddChild(const CXMLNode& child);
    CXMLNode* AddChild(CXMLNode&& child);

    // The node that holds this one among its children; null for a root.
    CXMLNode* GetParent() { return m_parent; }
    const CXMLNode* GetParent() const { return m_parent; }

    void SetText(const String& newText) { text = newText; }
    // Empties name, text, attributes and children; the parent link stays.
    void Clear();

    // This node and its subtree in the file layout: depth tabs of indentation, attributes as
    // name="escaped value", " />" for an element with neither text nor children, the escaped
    // text for a leaf with text, otherwise the children one depth deeper (the text of an
    // element with children is not written). Every line ends with a line feed except the
    // closing tag of a depth-0 element with children. Names are written as stored and must be
    // valid XML names. Escaped: " & < > line feed, carriage return and tab as the decimal
    // references &#34; &#38; &#60; &#62; &#10; &#13; &#9;. Bytes XML cannot carry (other
    // control bytes, malformed UTF-8) are dropped or written as U+FFFD, so that the output
    // always reads back.
    String Serialize(int32_t depth = 0) const;
    // The same, appended to out.
    void SerializeTo(std::string& out, int32_t depth = 0) const;

    String name; // element name
    String text; // character content (see CXMLDocument for what reading keeps)

private:
    friend class CXMLReader;
    void CopyContent(const CXMLNode& other);
    void AdoptChildren();

    std::vector<CXMLAttribute> m_attributes;
    std::vector<std::unique_ptr<CXMLNode>> m_children;
    CXMLNode* m_parent = nullptr; // non-owning
};

class CXMLReader;

// A document is its root element: its name is the root's name, its children the root's.
// Reading keeps, as an element's text, all of its character data in order (references
// resolved); for an element with child elements, character data that is only white space
// (indentation) gives no text. Documents are read as UTF-8 unless they declare an encoding
// Expat knows. Reading refuses a document type declaration with an internal subset (none of
// our files has one; its declarations let a small file expand without bound) and nesting
// deeper than kMaxDepth. Running out of memory while reading is a failed read like any other.
// On any failure the tree keeps every node built before the error, and GetError says why.
class CXMLDocument : public CXMLNode {
public:
    static constexpr uint32_t kMaxDepth = kXMLMaxDepth;
    // Load refuses larger files.
    static constexpr size_t kMaxFileSize = kXMLMaxFileSize;

    CXMLDocument();
    ~CXMLDocument();
    // Copies the tree only; a parse in progress and the error stay with the original.
    CXMLDocument(const CXMLDocument& other);
    CXMLDocument& operator=(const CXMLDocument& other);

    // Reads the whole file and parses it in one pass. A file that cannot be opened or read,
    // or is larger than kMaxFileSize, leaves the tree unchanged and returns false; a document
    // that is not well-formed (an empty or truncated file included) returns false.
    bool Load(const String& path);
    // Parses text up to its first zero byte (null counts as empty text).
    bool Parse(const char* text);
    // Parses exactly length bytes; a zero byte among them is a syntax error.
    bool Parse(const char* bytes, size_t length);
    // Writes the 23-byte declaration "<?xml version=\"1.0\"?>\n\n" and Serialize(0).
    // Returns false, writing nothing, when the root has no name or the file cannot be opened;
    // false also when the write does not complete.
    bool Save(const String& path) const;

    // Reading in pieces: BeginParse clears the tree, each ParseMore feeds the next bytes,
    // EndParse marks the end of the input; where the input is cut does not change the result.
    // ParseMore and EndParse return false once the document is known to be malformed (later
    // calls then change nothing) and when no parse was begun. Parse and Load are BeginParse,
    // ParseMore and EndParse in one. A token cut by many pieces is rescanned at each of them:
    // give whole documents to Parse.
    void BeginParse();
    bool ParseMore(const char* bytes, size_t length);
    bool EndParse();

    // Why the last Load, Parse, ParseMore or EndParse failed, as one line for a person
    // ("line 3, column 7: mismatched tag"); empty while reading has not failed since the last
    // BeginParse (or Load, Parse).
    String GetError() const;

private:
    friend class CXMLReader;
    // Records a failure; reason is a text with static lifetime, so that failing never
    // allocates. line 0 means no place in the document; systemError is an errno value or 0.
    void SetError(const char* reason, uint64_t line = 0, uint64_t column = 0,
                  int systemError = 0) noexcept;
    // ParseMore or EndParse with no parse begun: false.
    bool NoParse();

    std::unique_ptr<CXMLReader> m_reader;
    XMLError m_error; // reason null: no failure
};
