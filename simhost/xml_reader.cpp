#include "xml_reader.h"

namespace {
// MSXML's DOMDocument class and its IXMLDOMDocument interface.
const CLSID kDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

std::string Narrow(const wchar_t* text, UINT length) {
    if (text == nullptr || length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &narrow[0], size, nullptr, nullptr);
    return narrow;
}

template <typename T>
void Release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

IXMLDOMNode* Select(IXMLDOMNode* from, const wchar_t* name) {
    BSTR query = SysAllocString(name);
    IXMLDOMNode* found = nullptr;
    if (from->selectSingleNode(query, &found) != S_OK) Release(found);
    SysFreeString(query);
    return found;
}

void Remove(IXMLDOMNode* parent, IXMLDOMNode* child) {
    IXMLDOMNode* removed = nullptr;
    parent->removeChild(child, &removed);
    Release(removed);
}
}  // namespace

XmlReader::XmlReader(const std::string& bytes, bool keepWhiteSpace) {
    if (FAILED(CoCreateInstance(kDomDocument, nullptr, CLSCTX_INPROC_SERVER, kDomDocumentInterface,
                                reinterpret_cast<void**>(&dom_)))) {
        dom_ = nullptr;
        return;
    }
    if (keepWhiteSpace) dom_->put_preserveWhiteSpace(VARIANT_TRUE);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return;
    ULONG written = 0;
    if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    loaded_ = written == bytes.size() && SUCCEEDED(dom_->load(source, &loaded)) && loaded == VARIANT_TRUE;
    Release(stream);
}

XmlReader::~XmlReader() { Release(dom_); }

IXMLDOMNode* XmlReader::Entry() {
    IXMLDOMElement* root = nullptr;
    if (!loaded_ || FAILED(dom_->get_documentElement(&root)) || root == nullptr) return nullptr;
    IXMLDOMNode* section = Select(root, L"QUORVAN9");
    Release(root);
    if (section == nullptr) return nullptr;
    IXMLDOMNode* entry = Select(section, L"DebugLevel");
    Release(section);
    return entry;
}

bool XmlReader::EntryText(std::string* text) {
    IXMLDOMNode* entry = Entry();
    if (entry == nullptr) return false;
    BSTR value = nullptr;
    std::wstring wide;
    if (SUCCEEDED(entry->get_text(&value)) && value != nullptr) wide.assign(value, SysStringLen(value));
    SysFreeString(value);
    Release(entry);
    auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!wide.empty() && space(wide.back())) wide.pop_back();
    size_t first = 0;
    while (first < wide.size() && space(wide[first])) ++first;
    *text = Narrow(wide.c_str() + first, static_cast<UINT>(wide.size() - first));
    return true;
}

void XmlReader::RemoveEntry() {
    IXMLDOMNode* entry = Entry();
    IXMLDOMNode* parent = nullptr;
    if (entry != nullptr && SUCCEEDED(entry->get_parentNode(&parent)) && parent != nullptr) {
        IXMLDOMNode* before = nullptr;
        BSTR text = nullptr;
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(entry->get_previousSibling(&before)) && before != nullptr &&
            SUCCEEDED(before->get_nodeType(&type)) && type == NODE_TEXT && SUCCEEDED(before->get_text(&text))) {
            const std::wstring value(text != nullptr ? text : L"", SysStringLen(text));
            if (value.find_first_not_of(L" \t\r\n") == std::wstring::npos) Remove(parent, before);
        }
        SysFreeString(text);
        Release(before);
        Remove(parent, entry);
    }
    Release(parent);
    Release(entry);
}

std::wstring XmlReader::Content() {
    BSTR xml = nullptr;
    std::wstring content;
    if (loaded_ && SUCCEEDED(dom_->get_xml(&xml)) && xml != nullptr) content.assign(xml, SysStringLen(xml));
    SysFreeString(xml);
    return content;
}

void XmlReader::RemoveSection(const wchar_t* section) {
    IXMLDOMElement* root = nullptr;
    if (!loaded_ || FAILED(dom_->get_documentElement(&root)) || root == nullptr) return;
    IXMLDOMNode* node = Select(root, section);
    if (node != nullptr) Remove(root, node);
    Release(node);
    Release(root);
}
