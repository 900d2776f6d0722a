#include "base/net/CNetUserForm.h"

int CNetUserForm::PostForm()
{
    int rc = OpenSessionConnection();
    if (rc == 0)
        rc = SendForm();
    if (rc == 0) {
        int read = ReadServerResponse();
        rc = read < 0 ? read : 1;
    }
    CloseSessionConnection();
    return rc;
}

int CNetUserForm::LoginServer()
{
    return PostForm();
}

int CNetUserForm::GetColctList()
{
    return PostForm();
}

int CNetUserForm::DownloadColct(const char16_t* owner, const char16_t* uuid)
{
    AddParameter(u"owner", owner);
    AddParameter(u"uuid", uuid);
    return PostForm();
}

int CNetUserForm::RemoveColctFromServer(const char16_t* uuid)
{
    AddParameter(u"cmd", u"removecolct");
    AddParameter(u"uuid", uuid);
    int rc = PostForm();
    return rc < 0 ? rc : 0;
}
