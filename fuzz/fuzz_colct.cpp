#include "FuzzUtil.h"
#include "base/model/CColctNode.h"
#include "base/xml/CReadBkmarkXML.h"
#include "base/xml/CWriteColctRSS.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    RoundTrip<CReadBkmarkXML, CWriteColctRSS>(
        data, size, [](CReadBkmarkXML& r) { return r.DetachColctNode(); },
        [](CWriteColctRSS& w, CColctNode* c) { w.SetColctNode(c); }, [](CColctNode* c) { CColctNode::DeleteAll(c); });
    return 0;
}
