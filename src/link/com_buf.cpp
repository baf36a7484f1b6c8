#include "link/com_buf.h"

#include <algorithm>

namespace qqc {

namespace {
constexpr std::uint8_t TagOpen = '<';
constexpr std::uint8_t TagClose = '>';
constexpr std::uint8_t TagEnd = 'E';
constexpr std::uint8_t TagStart = 'S';
} // namespace

void clsComBuf::StoreByte(std::uint8_t byte)
{
    bytes_[size_t(length_)] = byte;
    ++length_;
    if (length_ > capacity_) {
        capacity_ += GrowthStep;
        bytes_.resize(size_t(capacity_) + 1, 0);
    }
}

bool clsComBuf::CheckForEnd() const
{
    return length_ >= 3 && bytes_[size_t(length_ - 3)] == TagOpen && bytes_[size_t(length_ - 2)] == TagEnd
        && bytes_[size_t(length_ - 1)] == TagClose;
}

int clsComBuf::find(std::uint8_t second) const
{
    for (int i = 0; i + 2 < length_; ++i) {
        if (bytes_[size_t(i)] == TagOpen && bytes_[size_t(i + 1)] == second && bytes_[size_t(i + 2)] == TagClose)
            return i;
    }
    return -1;
}

int clsComBuf::LocateEnd() const
{
    const int pos = find(TagEnd);
    return pos < 0 ? -1 : pos - 3;
}

int clsComBuf::LocateStart() const { return find(TagStart); }

bool clsComBuf::FrontTrim(int n)
{
    if (n < 0 || n >= length_)
        return false;
    std::copy(bytes_.begin() + n, bytes_.begin() + length_, bytes_.begin());
    std::fill(bytes_.begin() + (length_ - n), bytes_.begin() + length_, std::uint8_t(0));
    length_ -= n;
    return false;
}

std::uint8_t clsComBuf::GetByte(int index) const
{
    if (index < 0 || index > capacity_)
        return 0;
    return bytes_[size_t(index)];
}

bool clsComBuf::Init()
{
    capacity_ = InitialCapacity;
    bytes_.assign(size_t(capacity_) + 1, 0);
    length_ = 0;
    return true;
}

} // namespace qqc
