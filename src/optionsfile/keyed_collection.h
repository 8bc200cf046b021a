#pragma once

#include "shell/text.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kv {

// An ordered collection of shared entries, each under a unique key. Keys compare without
// regard to ASCII case, as the program's collections always have. Entries are shared, not
// copied, when one collection is filled from another.
//
// A copy shares the list and its index with the original until either is changed: reading a
// file keeps copies of a nationwide region list (the list as saved, the scenario to go back
// to), and each would otherwise cost thousands of allocations.
template <class T> class KeyedCollection {
public:
    using Ptr = std::shared_ptr<T>;

private:
    struct Slot {
        Ptr entry;
        std::string key;
    };
    struct Data {
        std::vector<Slot> entries;
        std::unordered_map<std::string, Ptr> index;
    };

public:
    std::size_t size() const { return data_ ? data_->entries.size() : 0; }
    bool empty() const { return size() == 0; }

    // Adds at the end; false (and nothing added) when the key is already present.
    bool add(Ptr entry, std::string_view key) { return insert(size(), std::move(entry), key); }

    // Inserts before position `pos` (0-based; size() appends); false when the key exists.
    bool insert(std::size_t pos, Ptr entry, std::string_view key) {
        std::string norm = upper(key);
        if (data_ && data_->index.count(norm) != 0)
            return false;
        Data& data = writable();
        if (pos > data.entries.size())
            pos = data.entries.size();
        data.index.emplace(std::move(norm), entry);
        data.entries.insert(data.entries.begin() + static_cast<std::ptrdiff_t>(pos),
                            Slot{std::move(entry), std::string(key)});
        return true;
    }

    bool contains(std::string_view key) const {
        return data_ && data_->index.count(upper(key)) != 0;
    }

    Ptr find(std::string_view key) const {
        if (!data_)
            return nullptr;
        const auto it = data_->index.find(upper(key));
        return it == data_->index.end() ? nullptr : it->second;
    }

    const Ptr& at(std::size_t pos) const { return slotList().at(pos).entry; }
    const std::string& keyAt(std::size_t pos) const { return slotList().at(pos).key; }

    void removeAt(std::size_t pos) {
        Data& data = writable();
        data.index.erase(upper(data.entries.at(pos).key));
        data.entries.erase(data.entries.begin() + static_cast<std::ptrdiff_t>(pos));
    }

    // Keeps the entries for which `keep` answers true, in order; linear in the size.
    template <class Pred> void retain(Pred keep) {
        if (!data_)
            return;
        Data& data = writable();
        std::vector<Slot> kept;
        kept.reserve(data.entries.size());
        for (auto& slot : data.entries) {
            if (keep(*slot.entry))
                kept.push_back(std::move(slot));
            else
                data.index.erase(upper(slot.key));
        }
        data.entries = std::move(kept);
    }

    void clear() { data_.reset(); }

    // Iteration yields the shared entries in order.
    class const_iterator {
    public:
        using Inner = typename std::vector<Slot>::const_iterator;
        explicit const_iterator(Inner it) : it_(it) {}
        const Ptr& operator*() const { return it_->entry; }
        const_iterator& operator++() {
            ++it_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return it_ == other.it_; }

    private:
        Inner it_;
    };
    const_iterator begin() const { return const_iterator(slotList().begin()); }
    const_iterator end() const { return const_iterator(slotList().end()); }

private:
    const std::vector<Slot>& slotList() const {
        static const std::vector<Slot> none;
        return data_ ? data_->entries : none;
    }
    // The data this collection alone holds, copied first when a copy still shares it.
    Data& writable() {
        if (!data_)
            data_ = std::make_shared<Data>();
        else if (data_.use_count() > 1)
            data_ = std::make_shared<Data>(*data_);
        return *data_;
    }

    std::shared_ptr<Data> data_;
};

} // namespace kv
