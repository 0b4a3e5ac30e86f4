#include <algorithm>

#include "base/FormatStr.h"
#include "link/PortDirectory.h"

namespace jvo {

std::vector<PortItem> PortItems(const std::vector<PortEntry>& entries) {
    std::vector<int> numbers;
    for (const PortEntry& e : entries)
        if (e.number >= kMinComPort && e.number <= kMaxComPort) numbers.push_back(e.number);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<PortItem> items;
    for (int n : numbers)
        items.push_back(PortItem{n, FormatStr("COM%d", n)});
    return items;
}

}  // namespace jvo
