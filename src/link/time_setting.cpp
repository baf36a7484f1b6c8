#include "link/time_setting.h"

#include "link/link_ops.h"

#include <cstddef>

namespace qqc {

TestTimeChoice testTimeChoice(int index)
{
    if (index < 0 || index >= int(kTestTimeChoices.size()))
        return {50, 1};
    return kTestTimeChoices[std::size_t(index)];
}

int testTimeChoiceIndex(int seconds)
{
    for (std::size_t i = 0; i < kTestTimeChoices.size(); ++i)
        if (kTestTimeChoices[i].totalSeconds == seconds)
            return int(i);
    return 0;
}

int DownloadTestTime(SerialPort& port, int settingByte)
{
    int acknowledged = 0;
    for (const int byte : {int('J'), settingByte, int('S')})
        if (SendCommandByte(port, std::uint8_t(byte)) == LinkStatus::Ok)
            ++acknowledged;
    return acknowledged;
}

} // namespace qqc
