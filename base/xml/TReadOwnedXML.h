#pragma once

#include <utility>

#include "base/ZandrelExport.h"
#include "base/xml/CReadXML.h"

// A reader whose result is one object it owns until the caller detaches
// it. Only a root of the expected name is walked; any other root loads
// with no result. A walk that fails, or a reader that goes away, takes
// whatever was built with it.
template <typename Result>
class ZANDREL_API TReadOwnedXML : public CReadXML, public CParseXML {
public:
    using DeleteFunc = void (*)(Result*);

    ~TReadOwnedXML() override { m_delete(m_pResult); }
    void* DetachData() override { return DetachResult(); }

protected:
    TReadOwnedXML(const char* rootName, DeleteFunc remove) : m_rootName(rootName), m_delete(remove) {}

    // Hands the result over, with nothing of the walk left pointing into it.
    Result* DetachResult()
    {
        ForgetWalk();
        return std::exchange(m_pResult, nullptr);
    }
    // Drops the walk's pointers into the result.
    virtual void ForgetWalk() {}

    bool InvokeParser(XMLNode* root) override
    {
        if (IsName(root, m_rootName))
            ParseXMLTree(root);
        return !HasWalkFailed();
    }
    void DiscardResult() override { m_delete(DetachResult()); }
    void ParseXMLTree(XMLNode* root) override { GoThroughChildNodes(root); }

    Result* m_pResult = nullptr;

private:
    const char* m_rootName;
    DeleteFunc m_delete;
};
