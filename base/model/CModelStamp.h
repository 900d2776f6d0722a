#pragma once

// A count of the changes made to any tree of nodes: a link set, a text of a
// node set, a node freed. While the count stays the same, what a reader
// took from the nodes (their texts, their addresses) still holds, so it may
// keep it instead of walking the nodes again.

#include <atomic>

#include "base/ZandrelExport.h"

class ZANDREL_API CModelStamp {
public:
    static unsigned long Get() { return s_count.load(std::memory_order_relaxed); }
    static void Bump() { s_count.fetch_add(1, std::memory_order_relaxed); }

private:
    static std::atomic<unsigned long> s_count;
};
