// The settings document and its element handles.
//
// XMLParser holds one parsed XML document (pugixml underneath) and a modified flag; XMLNode is a
// small value handle on one element (or on the document itself) of a parser, which it never
// owns. Every change made through an XMLNode of a parser marks that parser modified, except
// writes that store the text the attribute already holds.
//
// Name matching: elements and attributes are looked up by name without regard to the case of
// the letters A-Z (a root written as "appconfig" is found as "AppConfig"). Only the first match
// counts; elements are searched among the direct children of one element, never deeper.
//
// Values are narrow UTF-8 texts. Numbers are written in the "C" locale (a decimal point, never a
// comma) and read with DigtalStringToValueA, which ignores the locale too.
//
// Not guarded: one thread (the window thread) uses a document and its nodes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace pugi {
class xml_document;
struct xml_node_struct;
}  // namespace pugi

class CBaseStringA;
class XMLParser;

class XMLNode {
public:
    // An empty handle: reads find nothing, writes do nothing.
    XMLNode();
    virtual ~XMLNode();
    XMLNode(const XMLNode&) = default;
    XMLNode& operator=(const XMLNode&) = default;

    // 1 when the handle refers to nothing.
    int IsEmpty() const;

    // text := the attribute's text, or an empty text when the handle is empty or has no such
    // attribute. Returns 1.
    int GetAttributeText(const char* name, CBaseStringA& text) const;

    // child := the first child element of that name. When there is none and this handle is an
    // element or the document, a new child element of that name is appended at the end and the
    // document is marked modified. An empty handle gives an empty child. Returns 1.
    int FindOrAddChild(const char* name, XMLNode& child);

    // child := the first child element of that name; 1 when found, else 0 (child empty).
    int FindChild(const char* name, XMLNode& child) const;

    // Sets the attribute's text. A missing attribute is appended (empty) first when this handle is
    // an element or an XML declaration; otherwise nothing happens. A null text stops there.
    // A text equal to the current one without regard to letter case changes nothing and leaves
    // the modified flag alone (0xff000000 over 0XFF000000 is no change); any other text is stored
    // and marks the document modified. Returns 1 (0 for a null name).
    int SetAttributeText(const char* name, const char* text);

    // Format the value ("%lld", "%llu", "0x%08x" with lower-case digits; the double with the
    // caller's format, for example "%.5f") and store it as SetAttributeText does. The whole
    // number is always written. SetAttributeDouble refuses (0, nothing stored, level 4 line) a
    // format that is not exactly one floating-point conversion. Return 1 (0 for a null name).
    int SetAttributeInt64(const char* name, int64_t value);
    int SetAttributeUInt64(const char* name, uint64_t value);
    int SetAttributeHex32(const char* name, uint32_t value);
    int SetAttributeDouble(const char* name, double value, const char* format);

    // Typed reads: when the attribute exists with a non-empty text, store its value (decimal, or
    // hexadecimal with "0x"/"0X") and return 1; otherwise leave *value as it is (the caller's
    // default) and return 0. Int32 reads a signed 32-bit value, UInt32 a 32-bit value as
    // unsigned, UInt8 a 32-bit value of which it keeps the low byte (0x108 gives 8), Double a
    // double. A text that does not convert yields what the conversion gives (see
    // DigtalStringToValueA); no error is reported.
    int GetAttributeInt32(const char* name, int32_t* value) const;
    int GetAttributeUInt32(const char* name, uint32_t* value) const;
    int GetAttributeUInt8(const char* name, uint8_t* value) const;
    int GetAttributeDouble(const char* name, double* value) const;

private:
    friend class XMLParser;
    XMLNode(pugi::xml_node_struct* node, XMLParser* owner);

    pugi::xml_node_struct* m_node;
    XMLParser* m_owner;
};

class XMLParser {
public:
    XMLParser();
    virtual ~XMLParser();
    XMLParser(const XMLParser&) = delete;
    XMLParser& operator=(const XMLParser&) = delete;

    // Replaces the document with what the XML parser makes of the bytes (encoding detected from
    // them, default options; comments and the XML declaration are not kept). A malformed text
    // keeps whatever was parsed before the fault. Clears the modified flag. Returns 1 when the
    // whole text parsed, 0 otherwise (a caller may ignore this).
    int LoadFromMemory(const void* data, size_t size);

    // Empties the document and clears the modified flag.
    void Clear();

    // The document itself (parent of the top-level elements).
    XMLNode GetDocumentNode();

    // node := the first top-level element of that name; 1 when found, else 0 (node empty).
    int FindRootNode(const char* name, XMLNode& node);

    // The modified flag: 0 after loading, 1 after any change of the tree.
    int IsModified() const { return m_modified; }
    void SetModified(int modified) { m_modified = modified ? 1 : 0; }

    // The document as file bytes: an XML declaration of version 1.0 without encoding and a line
    // break, then the elements one per line, indented with one tab per level, attributes in
    // document order.
    std::string SaveToString() const;

private:
    std::unique_ptr<pugi::xml_document> m_document;
    int m_modified = 0;
};
