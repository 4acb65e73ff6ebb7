// A reading of an XML file that the tests make on their own, through a DOM of their own, to
// check what the plug-in did to a profile without asking the plug-in. The calling thread must
// have COM.
#pragma once
#include <windows.h>
#include <msxml.h>

#include <string>

class XmlReader {
public:
    // keepWhiteSpace as the plug-in's document does; false reads as a DOM with default properties.
    explicit XmlReader(const std::string& bytes, bool keepWhiteSpace = true);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    bool loaded() const { return loaded_; }

    // The text of the plug-in's entry (the root's QUORVAN9/DebugLevel) without the white space
    // around it; false when there is no entry.
    bool EntryText(std::string* text);
    // Removes the entry, and the white space before it that put it on a line of its own.
    void RemoveEntry();
    // Removes the root's first child element named section.
    void RemoveSection(const wchar_t* section);
    // Everything the document holds, as the DOM writes it; empty when it did not load.
    std::wstring Content();

private:
    IXMLDOMNode* Entry();

    IXMLDOMDocument* dom_ = nullptr;
    bool loaded_ = false;
};
