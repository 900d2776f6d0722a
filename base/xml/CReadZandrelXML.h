#pragma once

#include <string>

#include "base/ZandrelExport.h"
#include "base/xml/TReadOwnedXML.h"

class CZandrelProject;

// Reads a project file into a new CZandrelProject. Version, title, path,
// identifier and times are read; the description is written by the writer
// but not read back.
class ZANDREL_API CReadZandrelXML : public TReadOwnedXML<CZandrelProject> {
public:
    // Where the walk is: between the root's children, or inside a leaf
    // element whose content has been taken already.
    enum tagXMLSCOPETYPE : int {
        SCOPE_ROOT = 0,
        SCOPE_ITEM = 3,
    };

    // Walks only a root named exactly "zandrel".
    CReadZandrelXML();

    // The project read, handed to the caller; null when the document had
    // no zandrel root or the load failed.
    CZandrelProject* DetachZandrelProject() { return DetachResult(); }

protected:
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

    void ProcessElmRootScope(XMLNode* node);
    // Elements inside a leaf element mean nothing here.
    void ProcessElmItemScope(XMLNode*) {}

    void SetScope(tagXMLSCOPETYPE scope) { m_scope = scope; }
    // Back to the root scope once a leaf element is left.
    void BackScope();
    // "major.minor.build"; texts shorter than 5 or longer than 20
    // characters are ignored.
    void SetProjectVersion(const std::u16string& text);

private:
    tagXMLSCOPETYPE m_scope = SCOPE_ROOT;
};
