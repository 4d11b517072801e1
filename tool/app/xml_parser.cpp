#include "app/xml_parser.h"

#include <pugixml.hpp>

#include <cstring>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/text_format.h"
#include "core/value_text.h"

namespace {

bool EqualNoCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb) return false;
        if (ca == '\0') return true;
    }
}

pugi::xml_attribute FindAttribute(const pugi::xml_node& node, const char* name) {
    for (pugi::xml_attribute attribute : node.attributes()) {
        if (EqualNoCase(attribute.name(), name)) return attribute;
    }
    return pugi::xml_attribute();
}

pugi::xml_node FindElement(const pugi::xml_node& parent, const char* name) {
    for (pugi::xml_node child : parent.children()) {
        if (child.type() == pugi::node_element && EqualNoCase(child.name(), name)) return child;
    }
    return pugi::xml_node();
}

// A double format must hold exactly one floating-point conversion, so that the value passed
// matches what the formatter reads.
bool IsSingleDoubleFormat(const char* format) {
    int conversions = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        if (*p == 'l') ++p;
        if (*p == '\0' || std::strchr("eEfFgGaA", *p) == nullptr) return false;
        ++conversions;
    }
    return conversions == 1;
}

// pugixml writer collecting the output in a string.
class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(std::string& out) : m_out(out) {}
    void write(const void* data, size_t size) override {
        m_out.append(static_cast<const char*>(data), size);
    }

private:
    std::string& m_out;
};

}  // namespace

XMLNode::XMLNode() : m_node(nullptr), m_owner(nullptr) {}

XMLNode::XMLNode(pugi::xml_node_struct* node, XMLParser* owner) : m_node(node), m_owner(owner) {}

XMLNode::~XMLNode() = default;

int XMLNode::IsEmpty() const {
    return m_node == nullptr ? 1 : 0;
}

int XMLNode::GetAttributeText(const char* name, CBaseStringA& text) const {
    text.Free();
    if (m_node == nullptr || name == nullptr) return 1;
    const pugi::xml_attribute attribute = FindAttribute(pugi::xml_node(m_node), name);
    if (attribute) text.Append(attribute.value(), -1);
    return 1;
}

int XMLNode::FindChild(const char* name, XMLNode& child) const {
    child = XMLNode(nullptr, m_owner);
    if (m_node == nullptr || name == nullptr) return 0;
    const pugi::xml_node found = FindElement(pugi::xml_node(m_node), name);
    if (!found) return 0;
    child = XMLNode(found.internal_object(), m_owner);
    return 1;
}

int XMLNode::FindOrAddChild(const char* name, XMLNode& child) {
    if (FindChild(name, child)) return 1;
    if (m_node == nullptr || name == nullptr) return 1;
    pugi::xml_node node(m_node);
    if (node.type() != pugi::node_element && node.type() != pugi::node_document) return 1;
    const pugi::xml_node added = node.append_child(name);
    if (added) {
        child = XMLNode(added.internal_object(), m_owner);
        if (m_owner != nullptr) m_owner->SetModified(1);
    }
    return 1;
}

int XMLNode::SetAttributeText(const char* name, const char* text) {
    if (name == nullptr) return 0;
    if (m_node == nullptr) return 1;
    pugi::xml_node node(m_node);
    pugi::xml_attribute attribute = FindAttribute(node, name);
    if (!attribute) {
        if (node.type() != pugi::node_element && node.type() != pugi::node_declaration) return 1;
        // An empty attribute reads as a missing one, so adding it is not yet a change.
        attribute = node.append_attribute(name);
        if (!attribute) return 1;
    }
    if (text == nullptr) return 1;
    if (EqualNoCase(attribute.value(), text)) return 1;
    attribute.set_value(text);
    if (m_owner != nullptr) m_owner->SetModified(1);
    return 1;
}

int XMLNode::SetAttributeInt64(const char* name, int64_t value) {
    std::string text;
    FormatText(text, "%lld", static_cast<long long>(value));
    return SetAttributeText(name, text.c_str());
}

int XMLNode::SetAttributeUInt64(const char* name, uint64_t value) {
    std::string text;
    FormatText(text, "%llu", static_cast<unsigned long long>(value));
    return SetAttributeText(name, text.c_str());
}

int XMLNode::SetAttributeHex32(const char* name, uint32_t value) {
    std::string text;
    FormatText(text, "0x%08x", value);
    return SetAttributeText(name, text.c_str());
}

int XMLNode::SetAttributeDouble(const char* name, double value, const char* format) {
    if (name == nullptr) return 0;
    if (format == nullptr || !IsSingleDoubleFormat(format)) {
        DbgOutputA(kDbgLevelError,
                   "XMLNode: attribute %s not written: bad number format \"%s\"\r\n", name,
                   format == nullptr ? "(null)" : format);
        return 0;
    }
    std::string text;
    if (!FormatText(text, format, value)) return 0;
    return SetAttributeText(name, text.c_str());
}

namespace {

// The attribute's text when it exists and is not empty, else null.
const char* NonEmptyValue(pugi::xml_node_struct* node, const char* name) {
    if (node == nullptr || name == nullptr) return nullptr;
    const pugi::xml_attribute attribute = FindAttribute(pugi::xml_node(node), name);
    if (!attribute || attribute.value()[0] == '\0') return nullptr;
    return attribute.value();
}

}  // namespace

int XMLNode::GetAttributeInt32(const char* name, int32_t* value) const {
    const char* text = NonEmptyValue(m_node, name);
    if (text == nullptr || value == nullptr) return 0;
    DigtalStringToValueA(text, -1, value, kValueTypeInt32);
    return 1;
}

int XMLNode::GetAttributeUInt32(const char* name, uint32_t* value) const {
    const char* text = NonEmptyValue(m_node, name);
    if (text == nullptr || value == nullptr) return 0;
    DigtalStringToValueA(text, -1, value, kValueTypeUInt32);
    return 1;
}

int XMLNode::GetAttributeUInt8(const char* name, uint8_t* value) const {
    uint32_t wide = 0;
    if (value == nullptr || !GetAttributeUInt32(name, &wide)) return 0;
    *value = static_cast<uint8_t>(wide);
    return 1;
}

int XMLNode::GetAttributeDouble(const char* name, double* value) const {
    const char* text = NonEmptyValue(m_node, name);
    if (text == nullptr || value == nullptr) return 0;
    DigtalStringToValueA(text, -1, value, kValueTypeDouble);
    return 1;
}

XMLParser::XMLParser() : m_document(std::make_unique<pugi::xml_document>()) {}

XMLParser::~XMLParser() = default;

int XMLParser::LoadFromMemory(const void* data, size_t size) {
    m_modified = 0;
    if (data == nullptr || size == 0) {
        m_document->reset();
        return 0;
    }
    const pugi::xml_parse_result result =
        m_document->load_buffer(data, size, pugi::parse_default, pugi::encoding_auto);
    return result ? 1 : 0;
}

void XMLParser::Clear() {
    m_document->reset();
    m_modified = 0;
}

XMLNode XMLParser::GetDocumentNode() {
    return XMLNode(m_document->internal_object(), this);
}

int XMLParser::FindRootNode(const char* name, XMLNode& node) {
    return GetDocumentNode().FindChild(name, node);
}

std::string XMLParser::SaveToString() const {
    std::string out;
    StringWriter writer(out);
    m_document->save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return out;
}
