// The files and folders a walk has met, by their identity: a site is walked in memory that does
// not grow with more than a few bytes a file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

using Identity = std::pair<std::uint64_t, std::uint64_t>;  // a device or volume, and a number on it

// The identities met. A site lives on one device or a few, so the numbers are kept per device, 8
// bytes each in one flat table probed in turn: a million files take 12 MB, where pairs took twice
// that and a tree of them 48 MB besides everything else a summary holds.
class IdentitySet {
public:
    // False when the identity was there already.
    bool Insert(const Identity& identity)
    {
        for (auto& [device, numbers] : devices_) {
            if (device == identity.first)
                return numbers.Insert(identity.second);
        }
        devices_.emplace_back(identity.first, NumberSet());
        return devices_.back().second.Insert(identity.second);
    }

private:
    class NumberSet {
    public:
        bool Insert(std::uint64_t number)
        {
            if (number == kEmpty) {
                const bool first = !holdsEmpty_;
                holdsEmpty_ = true;
                return first;
            }
            // Kept 85 % full at most and grown by half: a table twice as large, beside the old one
            // while it is copied, would cost more than the numbers themselves.
            if ((count_ + 1) * 20 > slots_.size() * 17)
                Grow();
            if (!Place(slots_, number))
                return false;
            ++count_;
            return true;
        }

    private:
        // No file system hands out this number; it marks a free slot.
        static constexpr std::uint64_t kEmpty = ~0ull;

        static std::size_t Slot(std::uint64_t number, std::size_t size)
        {
            // splitmix64's finaliser: inode numbers come in runs, and a plain mask would crowd them.
            std::uint64_t x = number * 0x9E3779B97F4A7C15ull;
            x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
            x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
            return static_cast<std::size_t>((x ^ (x >> 31)) % size);
        }
        static bool Place(std::vector<std::uint64_t>& slots, std::uint64_t number)
        {
            const std::size_t size = slots.size();
            for (std::size_t at = Slot(number, size);; at = at + 1 == size ? 0 : at + 1) {
                if (slots[at] == number)
                    return false;
                if (slots[at] == kEmpty) {
                    slots[at] = number;
                    return true;
                }
            }
        }
        void Grow()
        {
            std::vector<std::uint64_t> larger(std::max<std::size_t>(1024, slots_.size() + slots_.size() / 2), kEmpty);
            for (const std::uint64_t number : slots_) {
                if (number != kEmpty)
                    Place(larger, number);
            }
            slots_.swap(larger);
        }

        std::vector<std::uint64_t> slots_;
        std::size_t count_ = 0;
        bool holdsEmpty_ = false;
    };

    std::vector<std::pair<std::uint64_t, NumberSet>> devices_;
};
