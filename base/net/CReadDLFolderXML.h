#pragma once

#include <vector>

#include "base/ZandrelExport.h"
#include "base/xml/TReadOwnedXML.h"

class CDLFolder;
class CDLHeader;

// Reads a start-page list: root "ZAndrel-DL" whose attributes form the
// header and which is itself the root folder (without a name), holding
// "Folder" and "File" elements at any depth.
class ZANDREL_API CReadDLFolderXML : public TReadOwnedXML<CDLFolder> {
public:
    CReadDLFolderXML();
    ~CReadDLFolderXML() override;

    // The results, each handed over to the caller; null when the document
    // had another root (or was not loaded).
    CDLHeader* DetachDLHeader();
    CDLFolder* DetachRootFolder() { return DetachResult(); }

protected:
    void ForgetWalk() override;
    void DiscardResult() override;
    void ParseXMLTree(XMLNode* root) override;
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

private:
    void ProcessHeader(XMLNode* root);
    void ProcessFolder(XMLNode* node);
    void ProcessFile(XMLNode* node);

    CDLHeader* m_pHeader = nullptr;
    CDLFolder* m_pCurrent = nullptr;
    // The elements that opened the folders above m_pCurrent, innermost last.
    std::vector<XMLNode*> m_openFolders;
};
