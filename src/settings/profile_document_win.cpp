// The profile document over the system's MSXML DOM document.
//
// The DOM keeps the white space between elements (preserveWhiteSpace), so the host's
// indentation and line layout survive a save; values are trimmed before they are read, which
// gives the same value a DOM with default properties would. The host's CR LF line ends, which
// the DOM turns into LF, are put back. Wide text appears only at the DOM calls.
#include "settings/profile_document.h"

#include <windows.h>
#include <msxml.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "diag/log.h"
#include "settings/profile_text.h"

namespace {
// MSXML's DOMDocument class and its IXMLDOMDocument interface.
const CLSID kDomDocumentClass = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kDomDocumentInterface = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

const char kLoadPrefix[] = "ProfileDocument(): ";
const char kSavePrefix[] = "~ProfileDocument(): ";

// A host profile is a few hundred kilobytes; a file far beyond that is not one, and is left alone.
constexpr LONGLONG kMaxProfileBytes = 64LL << 20;

template <typename T>
void Release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// A BSTR owned for one scope.
class Bstr {
public:
    explicit Bstr(BSTR text = nullptr) : text_(text) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* Out() {
        SysFreeString(text_);
        text_ = nullptr;
        return &text_;
    }
    BSTR get() const { return text_; }
    UINT length() const { return SysStringLen(text_); }

private:
    BSTR text_;
};

// An 8-bit text as a newly allocated BSTR.
BSTR WideText(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    return SysAllocString(wide.c_str());
}

std::string Narrow(const wchar_t* text, UINT length) {
    if (text == nullptr || length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    if (size > 0) WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &narrow[0], size, nullptr, nullptr);
    return narrow;
}

bool IsXmlSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

IXMLDOMDocument* NewDocument(HRESULT* result) {
    IXMLDOMDocument* dom = nullptr;
    *result = CoCreateInstance(kDomDocumentClass, nullptr, CLSCTX_INPROC_SERVER, kDomDocumentInterface,
                               reinterpret_cast<void**>(&dom));
    if (FAILED(*result) || dom == nullptr) {
        if (SUCCEEDED(*result)) *result = E_NOINTERFACE;
        return nullptr;
    }
    dom->put_preserveWhiteSpace(VARIANT_TRUE);
    return dom;
}

// Parses bytes into dom; on failure says why in reason.
bool LoadBytes(IXMLDOMDocument* dom, const std::string& bytes, std::string* reason) {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || stream == nullptr) {
        *reason = "out of memory";
        return false;
    }
    ULONG written = 0;
    const bool filled = bytes.empty() || (SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) &&
                                          written == bytes.size());
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream;
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT result = filled ? dom->load(source, &loaded) : E_OUTOFMEMORY;
    Release(stream);
    if (SUCCEEDED(result) && loaded == VARIANT_TRUE) return true;

    char code[32];
    snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(result));
    *reason = code;
    IXMLDOMParseError* error = nullptr;
    if (SUCCEEDED(dom->get_parseError(&error)) && error != nullptr) {
        long line = 0, column = 0;
        Bstr text;
        error->get_line(&line);
        error->get_linepos(&column);
        error->get_reason(text.Out());
        std::string why = Narrow(text.get(), text.length());
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' ')) why.pop_back();
        *reason = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + why;
        Release(error);
    }
    return false;
}

// The document as the DOM writes it to a file.
bool SavedBytes(IXMLDOMDocument* dom, std::string* bytes) {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) || stream == nullptr) return false;
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_UNKNOWN;
    target.punkVal = stream;
    bool ok = SUCCEEDED(dom->save(target));
    STATSTG info = {};
    ok = ok && SUCCEEDED(stream->Stat(&info, STATFLAG_NONAME)) && info.cbSize.QuadPart <= kMaxProfileBytes * 2;
    if (ok) {
        bytes->assign(static_cast<size_t>(info.cbSize.QuadPart), '\0');
        LARGE_INTEGER start = {};
        ULONG read = 0;
        ok = SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) &&
             (bytes->empty() || SUCCEEDED(stream->Read(&(*bytes)[0], static_cast<ULONG>(bytes->size()), &read))) &&
             read == bytes->size();
    }
    Release(stream);
    return ok;
}

std::wstring ContentOf(IXMLDOMDocument* dom) {
    Bstr xml;
    if (FAILED(dom->get_xml(xml.Out())) || xml.get() == nullptr) return std::wstring();
    return std::wstring(xml.get(), xml.length());
}

enum class FileRead { Read, Missing, Failed };

FileRead ReadWholeFile(const std::string& path, std::string* bytes, FILETIME* writeTime, DWORD* error) {
    // Shared for reading only: a profile that someone is writing counts as locked.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return (*error == ERROR_FILE_NOT_FOUND || *error == ERROR_PATH_NOT_FOUND) ? FileRead::Missing : FileRead::Failed;
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0 && GetFileTime(file, nullptr, nullptr, writeTime) != 0;
    if (ok && size.QuadPart > kMaxProfileBytes) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        ok = false;
    }
    if (ok) {
        bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
        size_t done = 0;
        while (ok && done < bytes->size()) {
            DWORD read = 0;
            ok = ReadFile(file, &(*bytes)[done], static_cast<DWORD>(bytes->size() - done), &read, nullptr) != 0 && read > 0;
            done += read;
        }
    }
    *error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok ? FileRead::Read : FileRead::Failed;
}

// Writes bytes to a new file in the profile's folder and moves it over the profile in one step,
// so the profile is either the old file or the whole new one.
bool ReplaceFileWith(const std::string& path, const std::string& bytes, DWORD* error) {
    const size_t cut = path.find_last_of("\\/:");
    const std::string folder = cut == std::string::npos ? std::string(".") : path.substr(0, cut + 1);
    char temporary[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), "q9p", 0, temporary) == 0) {
        *error = GetLastError();
        return false;
    }
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = file != INVALID_HANDLE_VALUE;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) != 0 &&
             written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file) != 0;
    *error = ok ? ERROR_SUCCESS : GetLastError();
    if (file != INVALID_HANDLE_VALUE && CloseHandle(file) == 0 && ok) {
        *error = GetLastError();
        ok = false;
    }
    if (ok && MoveFileExA(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        *error = GetLastError();
        ok = false;
    }
    if (!ok) DeleteFileA(temporary);
    return ok;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}
}  // namespace

struct ProfileDocument::Store {
    IXMLDOMDocument* dom = nullptr;
    std::string path;
    bool comStarted = false;  // this document initialised COM on the thread and ends it
    bool savable = false;     // false: the file on disk is left exactly as it is
    bool existed = false;     // the file was there and loaded
    bool crlf = false;        // the file's lines end in CR LF
    bool changed = false;     // the document differs from the file: a root was made or an entry removed
    std::string loadedBytes;  // the file as it was loaded
    FILETIME loadedWriteTime = {};

    void Load();
    void Save();
    IXMLDOMNode* FindNode(const char* section, const char* key);
    void RemoveEntry(IXMLDOMNode* entry);
};

void ProfileDocument::Store::Load() {
    // The host calls SetProName before the object-model connection initialises COM on its thread,
    // so the document takes COM for its own lifetime; when the thread already has it, this only
    // adds a reference that the destructor gives back.
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    // Only NT-family systems get a path; elsewhere every read yields its default.
    if ((GetVersion() & 0x80000000u) == 0) path = ProfileName;

    HRESULT created = S_OK;
    dom = NewDocument(&created);
    if (dom == nullptr) {
        LogMsg(LOG_ERROR, "%scannot create the XML document (0x%08lX), settings take their defaults and nothing is saved",
               kLoadPrefix, static_cast<unsigned long>(created));
        return;
    }

    if (path.empty()) {
        LogMsg(LOG_ERROR, "%sno profile file is named, settings take their defaults and nothing is saved", kLoadPrefix);
    } else {
        std::string& bytes = loadedBytes;
        DWORD error = ERROR_SUCCESS;
        std::string reason;
        switch (ReadWholeFile(path, &bytes, &loadedWriteTime, &error)) {
            case FileRead::Missing:
                savable = true;
                break;
            case FileRead::Failed:
                LogMsg(LOG_ERROR, "%scannot read '%s' (error %lu), the file is left unchanged", kLoadPrefix, path.c_str(),
                       static_cast<unsigned long>(error));
                break;
            case FileRead::Read:
                if (LoadBytes(dom, bytes, &reason)) {
                    savable = existed = true;
                    crlf = UsesCrLf(bytes);
                } else {
                    LogMsg(LOG_ERROR, "%s'%s' is not a readable XML profile (%s), the file is left unchanged", kLoadPrefix,
                           path.c_str(), reason.c_str());
                }
                break;
        }
    }

    IXMLDOMElement* root = nullptr;
    if (SUCCEEDED(dom->get_documentElement(&root)) && root != nullptr) {
        Release(root);
        return;
    }
    Bstr name(WideText("profile"));
    IXMLDOMElement* newRoot = nullptr;
    IXMLDOMNode* appended = nullptr;
    if (SUCCEEDED(dom->createElement(name.get(), &newRoot)) && newRoot != nullptr) dom->appendChild(newRoot, &appended);
    changed = appended != nullptr;
    Release(appended);
    Release(newRoot);
}

void ProfileDocument::Store::Save() {
    // An unchanged document is not written at all: the host's file keeps every byte as it wrote
    // it, whatever the DOM would make of its encoding and layout.
    if (dom == nullptr || !savable || path.empty() || !changed) return;

    std::string bytes;
    if (!SavedBytes(dom, &bytes)) {
        LogMsg(LOG_ERROR, "%scannot serialise the profile for '%s', the file is left unchanged", kSavePrefix, path.c_str());
        return;
    }
    if (crlf) bytes = WithCrLf(bytes);
    // The file already holds exactly this document: there is nothing to write.
    if (existed && bytes == loadedBytes) return;

    WIN32_FILE_ATTRIBUTE_DATA now = {};
    const bool present = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now) != 0;
    if (present && (now.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        LogMsg(LOG_ERROR, "%s'%s' is read-only, the profile is not saved", kSavePrefix, path.c_str());
        return;
    }
    if (present != existed || (existed && !SameTime(now.ftLastWriteTime, loadedWriteTime))) {
        LogMsg(LOG_ERROR, "%s'%s' changed on disk since it was loaded, it is not saved over", kSavePrefix, path.c_str());
        return;
    }

    // What goes to disk must read back as this very document; a DOM that cannot write the
    // file's encoding faithfully would otherwise garble the host's settings.
    HRESULT created = S_OK;
    IXMLDOMDocument* check = NewDocument(&created);
    std::string reason;
    const bool same = check != nullptr && LoadBytes(check, bytes, &reason) && ContentOf(check) == ContentOf(dom);
    Release(check);
    if (!same) {
        LogMsg(LOG_ERROR, "%sthe profile would not read back unchanged from '%s', the file is left unchanged", kSavePrefix,
               path.c_str());
        return;
    }

    DWORD error = ERROR_SUCCESS;
    if (!ReplaceFileWith(path, bytes, &error)) {
        LogMsg(LOG_ERROR, "%scannot write '%s' (error %lu), the file is left unchanged", kSavePrefix, path.c_str(),
               static_cast<unsigned long>(error));
    }
}

IXMLDOMNode* ProfileDocument::Store::FindNode(const char* section, const char* key) {
    IXMLDOMElement* root = nullptr;
    if (FAILED(dom->get_documentElement(&root)) || root == nullptr) return nullptr;
    Bstr sectionQuery(WideText(section));
    IXMLDOMNode* sectionNode = nullptr;
    root->selectSingleNode(sectionQuery.get(), &sectionNode);
    Release(root);
    if (sectionNode == nullptr) return nullptr;
    Bstr keyQuery(WideText(key));
    IXMLDOMNode* keyNode = nullptr;
    sectionNode->selectSingleNode(keyQuery.get(), &keyNode);
    Release(sectionNode);
    return keyNode;
}

void ProfileDocument::Store::RemoveEntry(IXMLDOMNode* entry) {
    IXMLDOMNode* parent = nullptr;
    if (FAILED(entry->get_parentNode(&parent)) || parent == nullptr) return;
    // The white space that put the entry on a line of its own goes with it.
    IXMLDOMNode* before = nullptr;
    DOMNodeType type = NODE_INVALID;
    if (SUCCEEDED(entry->get_previousSibling(&before)) && before != nullptr && SUCCEEDED(before->get_nodeType(&type)) &&
        type == NODE_TEXT) {
        VARIANT value;
        VariantInit(&value);
        bool blank = SUCCEEDED(before->get_nodeValue(&value)) && value.vt == VT_BSTR;
        for (UINT i = 0; blank && i < SysStringLen(value.bstrVal); ++i) blank = IsXmlSpace(value.bstrVal[i]);
        VariantClear(&value);
        IXMLDOMNode* removed = nullptr;
        if (blank) parent->removeChild(before, &removed);
        Release(removed);
    }
    Release(before);
    IXMLDOMNode* removed = nullptr;
    parent->removeChild(entry, &removed);
    changed = changed || removed != nullptr;
    Release(removed);
    Release(parent);
}

ProfileDocument::ProfileDocument() : store_(nullptr) {
    try {
        store_ = new Store();
        store_->Load();
    } catch (...) {
        // Out of memory: the document is left unsavable and reads yield their defaults.
        if (store_ != nullptr) store_->savable = false;
    }
}

ProfileDocument::~ProfileDocument() {
    if (store_ == nullptr) return;
    try {
        store_->Save();
    } catch (...) {
        // Nothing was written: the replace is the last step and allocates nothing.
    }
    Release(store_->dom);
    if (store_->comStarted) CoUninitialize();
    delete store_;
}

int32_t ProfileDocument::ReadInt(const char* section, const char* key, int32_t defaultValue) {
    if (store_ == nullptr || store_->dom == nullptr) return defaultValue;
    int32_t result = defaultValue;
    IXMLDOMNode* entry = nullptr;
    try {
        entry = store_->FindNode(section, key);
        Bstr text;
        if (entry != nullptr && SUCCEEDED(entry->get_text(text.Out()))) {
            const wchar_t* begin = text.get() != nullptr ? text.get() : L"";
            const wchar_t* end = begin + text.length();
            while (begin < end && IsXmlSpace(*begin)) ++begin;
            while (end > begin && IsXmlSpace(end[-1])) --end;
            Bstr value(SysAllocStringLen(begin, static_cast<UINT>(end - begin)));
            Bstr empty(SysAllocString(L""));
            if (value.get() == nullptr || empty.get() == nullptr) {
                // Out of memory: keep the entry and use the default.
            } else if (VarBstrCmp(value.get(), empty.get(), LOCALE_USER_DEFAULT, 0) == static_cast<HRESULT>(VARCMP_EQ)) {
                store_->RemoveEntry(entry);
            } else {
                result = ProfileTextToInt(Narrow(value.get(), value.length()).c_str());
            }
        }
    } catch (...) {
        result = defaultValue;
    }
    Release(entry);
    return result;
}
