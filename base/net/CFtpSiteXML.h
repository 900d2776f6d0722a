#pragma once

#include "base/ZandrelExport.h"
#include "base/net/CFtpConBase.h"
#include "base/xml/CWriteXML.h"
#include "base/xml/TReadOwnedXML.h"

// Writes the FTP site file: <ftpsites version="1.0"> with one <site> per
// record. Passwords are never written.
class ZANDREL_API CWriteFtpSiteXML : public CWriteXML {
public:
    // The sites to write; not owned.
    void SetFtpSiteHead(RFtpConBase* head) { m_pHead = head; }

protected:
    void FillData() override;
    void AddHead();
    void AddTail();
    void FillSite(CFtpConBase* site);
    void FillWebAddress(CFtpWebAddress* table);

private:
    // An element only for a text that is set, so none and "" stay apart.
    void FillOptional(const char16_t* text, const char* startTag, const char* endTag);

    RFtpConBase* m_pHead = nullptr;
};

// Reads the FTP site file into a list of sites.
class ZANDREL_API CReadFtpSiteXML : public TReadOwnedXML<RFtpConBase> {
public:
    CReadFtpSiteXML();

    // The sites read (the caller owns records and sites), or null when the
    // file held no ftpsites root or no site.
    RFtpConBase* DetachFtpSiteHead() { return DetachResult(); }

    // Releases a list of records together with their sites; null allowed.
    static void DeleteList(RFtpConBase* head);

protected:
    void ForgetWalk() override { m_pCurrent = nullptr; }
    void ProcessElementNode(XMLNode* node) override;
    void OnLeaveNode(XMLNode* node) override;

private:
    void ProcessSiteChild(XMLNode* node);
    void ProcessWebAddress(XMLNode* node);

    // Depths of the walk: the root is entered at 1.
    enum { DEPTH_SITE = 2, DEPTH_FIELD = 3 };

    CFtpConBase* m_pCurrent = nullptr;
};
