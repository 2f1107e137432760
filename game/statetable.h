// A hash table from 64-bit state keys to small values, open addressing with
// linear probing: the solver's memo and its per-run visited sets. clear() is
// O(1), so one table can serve thousands of short searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace kestrova {

template <typename Value>
class StateTable {
public:
    explicit StateTable(std::size_t initialCapacity = 256) { allocate(roundUp(initialCapacity)); }

    Value* find(std::uint64_t key)
    {
        for (std::size_t i = home(key);; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.stamp != generation_)
                return nullptr;
            if (slot.key == key)
                return &slot.value;
        }
    }

    // The value under key, inserted as `value` when absent; second is true
    // when it was inserted. Pointers from earlier calls may dangle after it.
    std::pair<Value*, bool> insert(std::uint64_t key, const Value& value)
    {
        if ((size_ + 1) * 4 > slots_.size() * 3)
            grow();
        for (std::size_t i = home(key);; i = (i + 1) & mask_) {
            Slot& slot = slots_[i];
            if (slot.stamp != generation_) {
                slot = {key, generation_, value};
                ++size_;
                return {&slot.value, true};
            }
            if (slot.key == key)
                return {&slot.value, false};
        }
    }

    void clear()
    {
        size_ = 0;
        if (++generation_ == 0) {   // stamps wrapped: start over with clean slots
            allocate(slots_.size());
            generation_ = 1;
        }
    }

    std::size_t size() const { return size_; }
    std::size_t memoryBytes() const { return slots_.capacity() * sizeof(Slot); }

private:
    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t stamp = 0;   // the slot is in use when it equals generation_
        Value value{};
    };

    static std::size_t roundUp(std::size_t n)
    {
        std::size_t capacity = 16;
        while (capacity < n)
            capacity *= 2;
        return capacity;
    }

    std::size_t home(std::uint64_t key) const
    {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_) & mask_;
    }

    void allocate(std::size_t capacity)
    {
        slots_.assign(capacity, Slot{});
        mask_ = capacity - 1;
        shift_ = 64;
        for (std::size_t c = capacity; c > 1; c >>= 1)
            --shift_;
    }

    void grow()
    {
        std::vector<Slot> old = std::move(slots_);
        const std::uint32_t oldGeneration = generation_;
        allocate(old.size() * 2);
        generation_ = 1;
        size_ = 0;
        for (const Slot& slot : old)
            if (slot.stamp == oldGeneration)
                insert(slot.key, slot.value);
    }

    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    int shift_ = 64;
    std::size_t size_ = 0;
    std::uint32_t generation_ = 1;
};

} // namespace kestrova
