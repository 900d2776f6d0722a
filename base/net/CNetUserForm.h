#pragma once

#include "base/ZandrelExport.h"
#include "base/net/CNetBase.h"

// Form operations of the account service. Each posts the parameter string
// to the post acceptor and collects the reply, which the caller takes with
// DetachResponse and, for lists, reads with CReadNetXML.
class ZANDREL_API CNetUserForm : public CNetBase {
public:
    CNetUserForm() = default;
    ~CNetUserForm() override = default;

    // 1 on success or a negative result code.
    int LoginServer();
    int GetColctList();
    int DownloadColct(const char16_t* owner, const char16_t* uuid);
    // 0 on success or a negative result code.
    int RemoveColctFromServer(const char16_t* uuid);

private:
    // Opens, posts the form and reads the reply: 1 or a negative code.
    int PostForm();
};
