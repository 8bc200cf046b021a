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
template <class T> class KeyedCollection {
public:
    using Ptr = std::shared_ptr<T>;

private:
    struct Slot {
        Ptr entry;
        std::string key;
    };

public:
    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }

    // Adds at the end; false (and nothing added) when the key is already present.
    bool add(Ptr entry, std::string_view key) {
        return insert(entries_.size(), std::move(entry), key);
    }

    // Inserts before position `pos` (0-based; size() appends); false when the key exists.
    bool insert(std::size_t pos, Ptr entry, std::string_view key) {
        std::string norm = upper(key);
        if (index_.count(norm) != 0)
            return false;
        if (pos > entries_.size())
            pos = entries_.size();
        index_.emplace(std::move(norm), entry);
        entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(pos),
                        Slot{std::move(entry), std::string(key)});
        return true;
    }

    bool contains(std::string_view key) const { return index_.count(upper(key)) != 0; }

    Ptr find(std::string_view key) const {
        const auto it = index_.find(upper(key));
        return it == index_.end() ? nullptr : it->second;
    }

    const Ptr& at(std::size_t pos) const { return entries_.at(pos).entry; }
    const std::string& keyAt(std::size_t pos) const { return entries_.at(pos).key; }

    void removeAt(std::size_t pos) {
        index_.erase(upper(entries_.at(pos).key));
        entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
    }

    // Keeps the entries for which `keep` answers true, in order; linear in the size.
    template <class Pred> void retain(Pred keep) {
        std::vector<Slot> kept;
        kept.reserve(entries_.size());
        for (auto& slot : entries_) {
            if (keep(*slot.entry))
                kept.push_back(std::move(slot));
            else
                index_.erase(upper(slot.key));
        }
        entries_ = std::move(kept);
    }

    void clear() {
        entries_.clear();
        index_.clear();
    }

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
    const_iterator begin() const { return const_iterator(entries_.begin()); }
    const_iterator end() const { return const_iterator(entries_.end()); }

private:
    std::vector<Slot> entries_;
    std::unordered_map<std::string, Ptr> index_;
};

} // namespace kv
