#include "resources/XmlTree.h"

#include <cstring>

using namespace ResFormat;

namespace {

TXmlTree::TEvent EventOf(uint16_t type) {
    switch (type) {
    case kXmlStartNamespaceType:
        return TXmlTree::TEvent::StartNamespace;
    case kXmlEndNamespaceType:
        return TXmlTree::TEvent::EndNamespace;
    case kXmlStartElementType:
        return TXmlTree::TEvent::StartTag;
    case kXmlEndElementType:
        return TXmlTree::TEvent::EndTag;
    case kXmlCdataType:
        return TXmlTree::TEvent::Text;
    default:
        return TXmlTree::TEvent::Other;
    }
}

} // namespace

bool TXmlTree::Load(const TByteSpan& data) {
    *this = TXmlTree();
    TChunkHeader header;
    if (!ReadChunkHeader(data, 0, header) || header.headerSize > header.size || header.size > data.Size())
        return false;
    data_ = data.Sub(0, header.size);
    // Up to the first node: the string pool, the resource map, and chunks nobody knows, skipped.
    size_t offset = header.headerSize;
    bool havePool = false;
    for (;;) {
        // The platform stops looking (without complaint) once the rest can't hold a chunk.
        TChunkHeader chunk;
        if (uint64_t(offset) + kChunkHeaderSize >= data_.Size() || !ReadChunkHeader(data_, offset, chunk))
            break;
        if (uint64_t(offset) + chunk.size >= data_.Size())
            break;
        if (!ChunkIsSound(chunk, kChunkHeaderSize, data_.Size() - offset))
            return false;
        if (chunk.type == kStringPoolType) {
            havePool = strings_.Load(data_.From(offset).Sub(0, chunk.size));
        } else if (chunk.type == kXmlResourceMapType) {
            resourceMap_ = data_.Sub(offset + chunk.headerSize, (chunk.size - chunk.headerSize) / 4 * 4);
        } else if (chunk.type >= kXmlFirstChunkType && chunk.type <= kXmlLastChunkType) {
            if (!NodeIsSound(offset))
                return false;
            rootOffset_ = offset;
            rootType_ = chunk.type;
            loaded_ = havePool;
            return loaded_;
        }
        offset += chunk.size;
    }
    return false; // no element node
}

bool TXmlTree::NodeIsSound(size_t offset) const {
    TChunkHeader node;
    if (!ReadChunkHeader(data_, offset, node) || !ChunkIsSound(node, kXmlNodeHeaderSize, data_.Size() - offset))
        return false;
    if (node.type != kXmlStartElementType)
        return true;
    // The attribute records must lie inside the node.
    if (node.size < uint64_t(node.headerSize) + kXmlAttrExtSize)
        return false;
    const size_t ext = offset + node.headerSize;
    const uint64_t attributeStart = data_.U16Or0(ext + 8);
    const uint64_t attributeSize = data_.U16Or0(ext + 10);
    const uint64_t attributeCount = data_.U16Or0(ext + 12);
    return attributeStart + attributeSize * attributeCount <= uint64_t(node.size) - node.headerSize;
}

void TXmlTree::Restart() {
    started_ = false;
    finished_ = false;
    event_ = TEvent::EndDocument;
}

TXmlTree::TEvent TXmlTree::Next() {
    if (!loaded_ || finished_)
        return event_;
    if (!started_) {
        started_ = true;
        current_ = rootOffset_;
        extension_ = current_ + data_.U16Or0(current_ + 2);
        return event_ = EventOf(rootType_);
    }
    for (;;) {
        const uint64_t next = uint64_t(current_) + data_.U32Or0(current_ + 4);
        if (next >= data_.Size()) {
            finished_ = true;
            return event_ = TEvent::EndDocument;
        }
        if (!NodeIsSound(static_cast<size_t>(next))) {
            finished_ = true;
            return event_ = TEvent::BadDocument;
        }
        current_ = static_cast<size_t>(next);
        TChunkHeader node;
        ReadChunkHeader(data_, current_, node);
        extension_ = current_ + node.headerSize;
        uint32_t minimum = 0;
        switch (node.type) {
        case kXmlStartNamespaceType:
        case kXmlEndNamespaceType:
            minimum = kXmlNamespaceExtSize;
            break;
        case kXmlStartElementType:
            minimum = kXmlAttrExtSize;
            break;
        case kXmlEndElementType:
            minimum = kXmlEndElementExtSize;
            break;
        case kXmlCdataType:
            minimum = kXmlCdataExtSize;
            break;
        default:
            continue; // a node type we don't know: skipped by its size
        }
        if (node.size - node.headerSize < minimum) {
            finished_ = true;
            return event_ = TEvent::BadDocument;
        }
        return event_ = EventOf(node.type);
    }
}

uint32_t TXmlTree::LineNumber() const {
    return data_.U32Or0(current_ + 8);
}

const std::string* TXmlTree::ElementName() const {
    if (event_ != TEvent::StartTag && event_ != TEvent::EndTag)
        return nullptr;
    return strings_.StringAt(data_.U32Or0(extension_ + 4));
}

size_t TXmlTree::AttributeCount() const {
    return event_ == TEvent::StartTag ? data_.U16Or0(extension_ + 12) : 0;
}

size_t TXmlTree::AttributeOffset(size_t index) const {
    return extension_ + data_.U16Or0(extension_ + 8) + index * data_.U16Or0(extension_ + 10);
}

const std::string* TXmlTree::AttributeNamespace(size_t index) const {
    if (index >= AttributeCount())
        return nullptr;
    return strings_.StringAt(data_.U32Or0(AttributeOffset(index)));
}

const std::string* TXmlTree::AttributeName(size_t index) const {
    if (index >= AttributeCount())
        return nullptr;
    return strings_.StringAt(data_.U32Or0(AttributeOffset(index) + 4));
}

uint32_t TXmlTree::AttributeNameResId(size_t index) const {
    if (index >= AttributeCount())
        return 0;
    const uint32_t name = data_.U32Or0(AttributeOffset(index) + 4);
    if (name >= resourceMap_.Size() / 4)
        return 0;
    return resourceMap_.U32Or0(size_t(name) * 4);
}

const std::string* TXmlTree::AttributeRawString(size_t index) const {
    if (index >= AttributeCount())
        return nullptr;
    return strings_.StringAt(data_.U32Or0(AttributeOffset(index) + 8));
}

TResValue TXmlTree::AttributeValue(size_t index) const {
    TResValue value;
    if (index >= AttributeCount())
        return value;
    const size_t offset = AttributeOffset(index);
    value.dataType = data_.U8Or0(offset + 15);
    value.data = data_.U32Or0(offset + 16);
    return value;
}

long TXmlTree::FindAttribute(uint32_t resId) const {
    const size_t count = AttributeCount();
    for (size_t i = 0; i < count; ++i) {
        if (AttributeNameResId(i) == resId)
            return static_cast<long>(i);
    }
    return -1;
}

long TXmlTree::FindAttributeWithoutNamespace(const char* name) const {
    const size_t count = AttributeCount();
    for (size_t i = 0; i < count; ++i) {
        const std::string* attributeName = AttributeName(i);
        if (attributeName != nullptr && *attributeName == name && AttributeNamespace(i) == nullptr)
            return static_cast<long>(i);
    }
    return -1;
}
