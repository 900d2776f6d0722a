#include "FuzzUtil.h"
#include "base/model/CTagStore.h"
#include "base/xml/CTagsXML.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    RoundTrip<CReadTagsXML, CWriteTagsXML>(
        data, size, [](CReadTagsXML& r) { return r.DetachTagStore(); },
        [](CWriteTagsXML& w, CTagStore* s) { w.SetTagStore(s); }, [](CTagStore* s) { CTagStore::DeleteTagStore(s); });
    return 0;
}
