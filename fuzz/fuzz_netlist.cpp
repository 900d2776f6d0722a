#include "FuzzUtil.h"
#include "base/model/CColctItemID.h"
#include "base/model/CColctNode.h"
#include "base/net/CReadNetXML.h"

// The service's list has no writer: walk the records read and check that
// every one carries a collection and the tail link closes the list.
extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    CReadNetXML reader;
    if (!reader.LoadXML(data, static_cast<long>(size)))
        return 0;
    RColctItem* head = reader.DetachRColctItemHead();
    RColctItem* last = nullptr;
    for (RColctItem* rec = head; rec; rec = rec->GetNext()) {
        FUZZ_REQUIRE(rec->GetData() != nullptr);
        last = rec;
    }
    FUZZ_REQUIRE(!head || head->GetPrev() == last);
    CReadNetXML::DeleteRColctItemList(head);
    return 0;
}
