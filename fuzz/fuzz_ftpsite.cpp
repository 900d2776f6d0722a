#include "FuzzUtil.h"
#include "base/net/CFtpSiteXML.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    RoundTrip<CReadFtpSiteXML, CWriteFtpSiteXML>(
        data, size, [](CReadFtpSiteXML& r) { return r.DetachFtpSiteHead(); },
        [](CWriteFtpSiteXML& w, RFtpConBase* head) { w.SetFtpSiteHead(head); },
        [](RFtpConBase* head) { CReadFtpSiteXML::DeleteList(head); });
    return 0;
}
