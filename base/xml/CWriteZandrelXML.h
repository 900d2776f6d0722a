#pragma once

#include "base/ZandrelExport.h"
#include "base/xml/CWriteXML.h"

class CZandrelProject;

// Writes a project file (.zand): version, title, description, content
// path, identifier and times of one CZandrelProject. Empty texts are left
// out; version and times are always written.
class ZANDREL_API CWriteZandrelXML : public CWriteXML {
public:
    CWriteZandrelXML() = default;
    ~CWriteZandrelXML() override = default;

    // The project to write (not owned). Without one the document is empty
    // and saving fails.
    void SetZandrelProject(CZandrelProject* project) { m_pProject = project; }

protected:
    void FillData() override;

    // Declaration, blank line, root start tag, version, title, description.
    void AddHead();
    // The stat element with the three times.
    void FillNodeStat();
    // Root end tag, no line break after it.
    void AddTail();

private:
    // One leaf element, left out when `text` is null or empty.
    void FillOptionalNode(const char16_t* text, const char* startTag, const char* endTag);

    CZandrelProject* m_pProject = nullptr;
};
