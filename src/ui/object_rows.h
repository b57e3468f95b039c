#pragma once

#include <ext/pb_ds/assoc_container.hpp>
#include <ext/pb_ds/tree_policy.hpp>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/engine_view.h"
#include "model/dn_obj.h"
#include "ui/rows_observer.h"
#include "ui/text_collator.h"

namespace quillharbor {

// How an object list orders its rows. A chosen order stays: rows added later take their sorted
// place.
enum class RowOrder {
    Added,    // in the order the rows were added
    Caption,  // by caption in the collator's order
    Url,      // by URL byte-wise; equal URLs in the order they were added
};

// The rows of one object list. A row is found from its object, and an object from its row, in
// O(log n), so a list of several hundred thousand rows changes one row at a time: an order
// statistics tree (libstdc++'s policy-based tree) keyed by (sort text, order of adding).
class ObjectRows {
public:
    ObjectRows(ObjectListPage page, const TextCollator& collator, RowsObserver*& observer);
    ObjectRows(const ObjectRows&) = delete;
    ObjectRows& operator=(const ObjectRows&) = delete;

    ObjectListPage page() const { return m_page; }
    std::size_t size() const { return m_rows.size(); }
    TDnObj& at(std::size_t row) const;
    std::optional<std::size_t> rowOf(const TDnObj& object) const;
    bool contains(const TDnObj& object) const { return m_where.contains(&object); }

    // Adds the object's row at its sorted place. It must not have one here yet.
    void insert(TDnObj& object);
    // Removes the object's row; false when it had none here.
    bool erase(const TDnObj& object);
    void clear();

    RowOrder order() const { return m_order; }
    // Sorts the rows again.
    void setOrder(RowOrder order);
    // The column captions; the sorted column's carries the bullet mark "• ".
    std::vector<std::string> columnCaptions() const;

private:
    struct Key {
        std::string text;  // empty in RowOrder::Added
        std::uint64_t added;
        TDnObj* object;
    };
    struct Less {
        RowOrder order = RowOrder::Added;
        const TextCollator* collator = nullptr;
        bool operator()(const Key& a, const Key& b) const;
    };
    using Tree = __gnu_pbds::tree<Key, __gnu_pbds::null_type, Less, __gnu_pbds::rb_tree_tag,
                                  __gnu_pbds::tree_order_statistics_node_update>;

    Key keyOf(TDnObj& object, std::uint64_t added) const;
    void rebuild();

    ObjectListPage m_page;
    const TextCollator& m_collator;
    RowsObserver*& m_observer;
    RowOrder m_order = RowOrder::Added;
    Tree m_rows;
    std::unordered_map<const TDnObj*, Tree::point_iterator> m_where;
    std::uint64_t m_added = 0;
};

}  // namespace quillharbor
