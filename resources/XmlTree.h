#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "resources/ByteSpan.h"
#include "resources/ResFormat.h"
#include "resources/StringPool.h"

// A compiled (binary) XML document with a cursor over its nodes. Load checks what the platform
// checks before reading any node: the document header, the string pool, the resource map and the
// first node. Later nodes are checked as the cursor reaches them; a bad one ends the walk with
// BadDocument, as on the device, so a document damaged in the middle still yields its first part.
class TXmlTree {
public:
    enum class TEvent { StartNamespace, EndNamespace, StartTag, EndTag, Text, Other, EndDocument, BadDocument };

    // The bytes must outlive the tree. False when the document can't be read at all.
    bool Load(const TByteSpan& data);

    const TStringPool& Strings() const { return strings_; }

    // Moves to the next node (the first one on the first call).
    TEvent Next();
    void Restart();

    // About the current node.
    uint32_t LineNumber() const;
    // The element name of a start or end tag; null when the name is not a usable string.
    const std::string* ElementName() const;

    // Attributes of the current start tag.
    size_t AttributeCount() const;
    const std::string* AttributeNamespace(size_t index) const;
    const std::string* AttributeName(size_t index) const;
    // The resource id that the resource map gives the attribute's name, or 0.
    uint32_t AttributeNameResId(size_t index) const;
    // The attribute's raw text (its raw-value string), or null.
    const std::string* AttributeRawString(size_t index) const;
    TResValue AttributeValue(size_t index) const;

    // The index of the first attribute whose name's resource id is resId, or -1.
    long FindAttribute(uint32_t resId) const;
    // The index of the first attribute named name with no namespace, or -1.
    long FindAttributeWithoutNamespace(const char* name) const;

private:
    bool NodeIsSound(size_t offset) const;
    size_t AttributeOffset(size_t index) const;

    TByteSpan data_; // the document, cut to the size its header gives
    TStringPool strings_;
    TByteSpan resourceMap_;
    size_t rootOffset_ = 0;
    uint16_t rootType_ = 0;
    bool loaded_ = false;

    bool started_ = false;
    bool finished_ = false;
    TEvent event_ = TEvent::EndDocument;
    size_t current_ = 0;   // offset of the current node
    size_t extension_ = 0; // offset of its extension (after the node header)
};
