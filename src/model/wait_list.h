#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/dn_obj.h"
#include "model/sorted_list.h"

namespace quillharbor {

// The HTTP objects that wait for the robots.txt answer of their host (HostPart of the URL),
// linked through QueueNext/QueuePrev and ordered by URL, equal URLs in arrival order. It owns
// none of them. Objects are kept per host, so releasing a host touches only its own objects and
// every operation costs O(log n).
class WaitList {
public:
    WaitList() = default;
    WaitList(const WaitList&) = delete;
    WaitList& operator=(const WaitList&) = delete;
    ~WaitList() { clear(); }

    // The object must be in no global list.
    void WaitInsert(TDnObj& object);
    // Takes out an object of the wait list.
    void WaitRemove(TDnObj& object);
    // Takes every object of host out of the list and returns them in URL order.
    std::vector<TDnObj*> WaitTakeHost(std::string_view host);
    // The first waiting object of host in URL order, or nullptr.
    TDnObj* WaitFirstOf(std::string_view host) const;
    void clear();

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    using Sorted = SortedList<TDnObj, &TDnObj::URL, &TDnObj::QueueNext, &TDnObj::QueuePrev>;

    std::map<std::string, std::unique_ptr<Sorted>, std::less<>> m_hosts;
    std::size_t m_size = 0;
};

}  // namespace quillharbor
