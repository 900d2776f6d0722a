#include "FuzzUtil.h"
#include "base/model/CColctExData.h"
#include "base/xml/CColctExDataXML.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CReadColctExData reader;
    if (reader.LoadXML(data, static_cast<long>(size)))
        CSysString::Free(reader.DetachDefaultColctUrl());
    RoundTrip<CReadColctExData, CWriteColctExData>(
        data, size, [](CReadColctExData& r) { return r.DetachRColctExDataHead(); },
        [](CWriteColctExData& w, RColctExData* h) { w.SetRColctExDataHead(h); },
        [](RColctExData* h) { CReadColctExData::DeleteList(h); });
    return 0;
}
