#include "formats/xml_node.h"

#include "formats/xml_characters.h"
#include "formats/xml_node_data.h"

namespace glintor {

bool EqualIgnoringCase(const char* a, const char* b) {
    while (*a != 0 && FoldAsciiCase(*a) == FoldAsciiCase(*b)) {
        ++a;
        ++b;
    }
    return *a == 0 && *b == 0;
}

void ReleaseXmlNodeData(XmlNodeData* data) {
    if (data == nullptr || --data->references > 0) {
        return;
    }
    // The parent links of doomed nodes are free to chain them into a work list: nothing can reach
    // a node whose count is zero, and the children outliving it must lose their parent anyway.
    data->parent = nullptr;
    XmlNodeData* doomed = data;
    while (doomed != nullptr) {
        XmlNodeData* node = doomed;
        doomed = node->parent;
        for (XmlNodeData* child : node->children) {
            if (--child->references == 0) {
                child->parent = doomed;
                doomed = child;
            } else {
                child->parent = nullptr;
            }
        }
        delete node;
    }
}

void AppendOrder(XmlNodeData& node, int32_t index, XmlOrderKind kind) {
    AppendInChunks(node.order, index * 4 + kind, kXmlOrderChunk);
}

void ShrinkXmlNodeArrays(XmlNodeData& node) {
    node.children.shrink_to_fit();
    node.texts.shrink_to_fit();
    node.clears.shrink_to_fit();
    node.attributes.shrink_to_fit();
    node.order.shrink_to_fit();
}

XmlNode::XmlNode(XmlNodeData* data) : data_(data) {
    if (data_ != nullptr) {
        ++data_->references;
    }
}

XmlNode::XmlNode(const XmlNode& other) : XmlNode(other.data_) {}

XmlNode& XmlNode::operator=(const XmlNode& other) {
    if (other.data_ != nullptr) {
        ++other.data_->references;
    }
    ReleaseXmlNodeData(data_);
    data_ = other.data_;
    return *this;
}

XmlNode::~XmlNode() {
    ReleaseXmlNodeData(data_);
}

const char* XmlNode::Name() const {
    return data_ != nullptr ? data_->name.c_str() : "";
}

XmlNode XmlNode::GetChild(const char* name) const {
    int position = 0;
    return GetChild(name, position);
}

XmlNode XmlNode::GetChild(const char* name, int& position) const {
    if (data_ == nullptr || name == nullptr) {
        return XmlNode();
    }
    const int count = static_cast<int>(data_->children.size());
    for (int i = position > 0 ? position : 0; i < count; ++i) {
        if (EqualIgnoringCase(data_->children[i]->name.c_str(), name)) {
            position = i + 1;
            return XmlNode(data_->children[i]);
        }
    }
    return XmlNode();
}

int XmlNode::CountChildren(const char* name) const {
    if (data_ == nullptr || name == nullptr) {
        return 0;
    }
    int count = 0;
    for (const XmlNodeData* child : data_->children) {
        count += EqualIgnoringCase(child->name.c_str(), name);
    }
    return count;
}

const char* XmlNode::GetAttribute(const char* name) const {
    if (data_ == nullptr || name == nullptr) {
        return nullptr;
    }
    for (const XmlAttribute& attribute : data_->attributes) {
        if (EqualIgnoringCase(attribute.name.c_str(), name)) {
            return attribute.hasValue ? attribute.value.c_str() : nullptr;
        }
    }
    return nullptr;
}

const char* XmlNode::GetText() const {
    return data_ != nullptr && !data_->texts.empty() ? data_->texts.front().c_str() : nullptr;
}

}  // namespace glintor
