#include "ui/object_rows.h"

#include <utility>

#include "ui/object_row.h"

namespace quillharbor {

namespace {

constexpr std::string_view kSortMark = "\u2022 ";

}  // namespace

bool ObjectRows::Less::operator()(const Key& a, const Key& b) const {
    if (order != RowOrder::Added) {
        const int compared =
            order == RowOrder::Caption ? collator->compare(a.text, b.text) : a.text.compare(b.text);
        if (compared != 0) {
            return compared < 0;
        }
    }
    return a.added < b.added;
}

ObjectRows::ObjectRows(ObjectListPage page, const TextCollator& collator, RowsObserver*& observer)
    : m_page(page),
      m_collator(collator),
      m_observer(observer),
      m_rows(Less{RowOrder::Added, &collator}) {}

TDnObj& ObjectRows::at(std::size_t row) const {
    return *m_rows.find_by_order(row)->object;
}

std::optional<std::size_t> ObjectRows::rowOf(const TDnObj& object) const {
    const auto where = m_where.find(&object);
    if (where == m_where.end()) {
        return std::nullopt;
    }
    return m_rows.order_of_key(*where->second);
}

ObjectRows::Key ObjectRows::keyOf(TDnObj& object, std::uint64_t added) const {
    switch (m_order) {
        case RowOrder::Added:
            break;
        case RowOrder::Caption:
            return {objectRowCaption(m_page, object), added, &object};
        case RowOrder::Url:
            return {object.URL, added, &object};
    }
    return {{}, added, &object};
}

void ObjectRows::insert(TDnObj& object) {
    Key key = keyOf(object, ++m_added);
    const std::size_t row = m_rows.order_of_key(key);
    if (m_observer != nullptr) {
        m_observer->beginInsertRow(listOf(m_page), row);
    }
    m_where[&object] = m_rows.insert(std::move(key)).first;
    if (m_observer != nullptr) {
        m_observer->endInsertRow(listOf(m_page));
    }
}

bool ObjectRows::erase(const TDnObj& object) {
    const auto where = m_where.find(&object);
    if (where == m_where.end()) {
        return false;
    }
    if (m_observer != nullptr) {
        m_observer->beginRemoveRow(listOf(m_page), m_rows.order_of_key(*where->second));
    }
    m_rows.erase(where->second);
    m_where.erase(where);
    if (m_observer != nullptr) {
        m_observer->endRemoveRow(listOf(m_page));
    }
    return true;
}

void ObjectRows::clear() {
    if (m_observer != nullptr) {
        m_observer->beginResetRows(listOf(m_page));
    }
    m_rows.clear();
    m_where.clear();
    if (m_observer != nullptr) {
        m_observer->endResetRows(listOf(m_page));
    }
}

void ObjectRows::setOrder(RowOrder order) {
    if (m_observer != nullptr) {
        m_observer->beginResetRows(listOf(m_page));
    }
    m_order = order;
    rebuild();
    if (m_observer != nullptr) {
        m_observer->endResetRows(listOf(m_page));
    }
}

void ObjectRows::rebuild() {
    std::vector<std::pair<std::uint64_t, TDnObj*>> rows;
    rows.reserve(m_rows.size());
    for (const Key& key : m_rows) {
        rows.emplace_back(key.added, key.object);
    }
    m_rows = Tree(Less{m_order, &m_collator});
    m_where.clear();
    for (const auto& [added, object] : rows) {
        m_where[object] = m_rows.insert(keyOf(*object, added)).first;
    }
}

std::vector<std::string> ObjectRows::columnCaptions() const {
    std::vector<std::string> captions = objectColumnCaptions(m_page);
    if (m_order == RowOrder::Caption) {
        captions[0].insert(0, kSortMark);
    } else if (m_order == RowOrder::Url) {
        captions[1].insert(0, kSortMark);
    }
    return captions;
}

}  // namespace quillharbor
