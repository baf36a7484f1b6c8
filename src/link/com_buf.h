#pragma once
// clsComBuf: the receive buffer of the unit link. Bytes are stored one at a
// time; a frame is complete when the last three bytes are the end tag "<E>",
// and is cut out by locating the start tag "<S>" and trimming everything up to
// and including it, which leaves the code byte at index 0.
//
// The array grows in steps of 50 and only shrinks through Init, so the
// indexes 0 .. capacity are always valid (bytes past the length are zero or
// left over from earlier frames). No port or window is involved.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qqc {

class clsComBuf {
public:
    static constexpr int InitialCapacity = 50;
    static constexpr int GrowthStep = 50;

    clsComBuf() { Init(); }

    // Stores at index length; when the length then exceeds the capacity the
    // capacity grows by 50, keeping the contents.
    void StoreByte(std::uint8_t byte);
    int GetLength() const { return length_; }
    // Highest valid index.
    int capacity() const { return capacity_; }
    // A copy of the whole array, indexes 0 .. capacity (also past the length).
    std::vector<std::uint8_t> GetAll() const { return bytes_; }
    // True when the last three bytes stored are "<E>".
    bool CheckForEnd() const;
    // Index of the first "<E>" minus 3 (so the payload length of a trimmed
    // frame is LocateEnd() + 2); -1 when the length is below 3 or there is none.
    int LocateEnd() const;
    // Index of the first "<S>"; -1 when the length is below 3 or there is none.
    int LocateStart() const;
    // Drops the first n bytes when n is less than the length (the tail freed is
    // zeroed); otherwise changes nothing. Always returns false.
    bool FrontTrim(int n);
    // The byte at `index`; 0 for an index outside 0 .. capacity.
    std::uint8_t GetByte(int index) const;
    // Empties the buffer: capacity 50, zero-filled, length 0. Returns true.
    bool Init();

    // The bytes 0 .. length-1.
    const std::uint8_t* data() const { return bytes_.data(); }

private:
    int find(std::uint8_t second) const;

    std::vector<std::uint8_t> bytes_;
    int length_ = 0;
    int capacity_ = InitialCapacity;
};

} // namespace qqc
