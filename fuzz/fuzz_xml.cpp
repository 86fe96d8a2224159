// Fuzz target for the XML reader and writer. Checks, beyond memory safety:
// - feeding the same bytes in pieces gives the same result and tree as one Parse;
// - a read fails exactly when it gives a reason;
// - a tree that read well writes out and reads back to the same tree;
// - the writer turns any bytes into a text that reads back (and is stable from then on);
// - number getters never return NaN or infinity.
#include "xml/XMLDocument.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// withText: compare the text of elements that have children too (the writer drops it).
bool SameTree(const CXMLNode& a, const CXMLNode& b, bool withText)
{
    if (a.name != b.name || a.GetAttributeCount() != b.GetAttributeCount() ||
        a.GetChildCount() != b.GetChildCount())
        return false;
    if ((withText || a.GetChildCount() == 0) && a.text != b.text)
        return false;
    for (uint32_t i = 0; i < a.GetAttributeCount(); ++i)
        if (a.GetAttribute(i)->name != b.GetAttribute(i)->name ||
            a.GetAttribute(i)->value != b.GetAttribute(i)->value)
            return false;
    for (uint32_t i = 0; i < a.GetChildCount(); ++i) {
        if (a.GetChild(i)->GetParent() != &a || b.GetChild(i)->GetParent() != &b)
            return false;
        if (!SameTree(*a.GetChild(i), *b.GetChild(i), withText))
            return false;
    }
    return true;
}

void UseGetters(const CXMLNode& node)
{
    for (uint32_t i = 0; i < node.GetAttributeCount(); ++i) {
        const String& name = node.GetAttribute(i)->name;
        float f = node.GetAttributeFloat(name);
        Check(std::isfinite(f));
        (void)node.GetAttributeInt(name);
        (void)node.GetAttributeBool(name);
        Check(node.FindAttribute(name) != nullptr);
    }
    for (uint32_t i = 0; i < node.GetChildCount(); ++i) {
        Check(node.FindChild(node.GetChild(i)->name) != nullptr);
        UseGetters(*node.GetChild(i));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    CXMLDocument whole;
    bool ok = whole.Parse(text, size);
    Check(ok == whole.GetError().IsEmpty());
    UseGetters(whole);

    // Small inputs one byte at a time; larger ones in a few dozen uneven pieces.
    CXMLDocument pieces;
    pieces.BeginParse();
    size_t piece = size <= 1024 ? 1 : size / 48 + (data[0] & 15);
    bool fed = true;
    for (size_t at = 0; at < size && fed; at += piece)
        fed = pieces.ParseMore(text + at, size - at < piece ? size - at : piece);
    bool piecesOk = pieces.EndParse() && fed;
    Check(piecesOk == ok);
    Check(piecesOk == pieces.GetError().IsEmpty());
    if (ok)
        Check(SameTree(whole, pieces, true));

    if (ok) {
        String written = whole.Serialize(0);
        CXMLDocument back;
        Check(back.Parse(written.CStr(), static_cast<size_t>(written.Length())));
        Check(SameTree(whole, back, false));
        CXMLDocument copy(whole);
        Check(SameTree(whole, copy, true));
    }

    // Raw bytes as text and attribute value: the writer must make them readable.
    if (size <= 65536) {
        CXMLNode raw("raw");
        String bytes(text, static_cast<int32_t>(size));
        raw.AddAttribute("value", bytes);
        raw.SetText(bytes);
        String written = raw.Serialize(0);
        CXMLDocument back;
        Check(back.Parse(written.CStr(), static_cast<size_t>(written.Length())));
        Check(back.GetAttributeString("value") == back.text);
        Check(back.Serialize(0) == written);
    }
    return 0;
}
