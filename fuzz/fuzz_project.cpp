#include "FuzzUtil.h"
#include "base/model/CZandrelProject.h"
#include "base/xml/CReadZandrelXML.h"
#include "base/xml/CWriteZandrelXML.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    RoundTrip<CReadZandrelXML, CWriteZandrelXML>(
        data, size, [](CReadZandrelXML& r) { return r.DetachZandrelProject(); },
        [](CWriteZandrelXML& w, CZandrelProject* p) { w.SetZandrelProject(p); },
        [](CZandrelProject* p) { CZandrelProject::Delete(p); });
    return 0;
}
