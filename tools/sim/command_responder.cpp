#include "sim/command_responder.h"

namespace qqc::sim {

namespace {
quint8 ack(int byte) { return quint8((byte + 10) & 0xFF); }
} // namespace

QByteArray CommandResponder::frequencyAnswer()
{
    ++reads_;
    int f = grid_.frequency;
    if (!grid_.sequence.isEmpty())
        f = grid_.sequence.takeFirst();
    if (grid_.spikeEvery > 0 && reads_ % grid_.spikeEvery == 0)
        f += grid_.spikeSize;
    if (magnet_ >= 0 && magnet_ < 3)
        f -= grid_.magnetDrop[size_t(magnet_)];
    f = qBound(0, f, 0xFFFF);

    QByteArray answer;
    answer.append(char(ack('D')));
    if (grid_.unplugged) {
        answer.append(char(0));
        answer.append(char(254));
    } else {
        answer.append(char(f & 0xFF));
        answer.append(char((f >> 8) & 0xFF));
    }
    answer.append(char(grid_.temperatureByte & 0xFF));
    return answer;
}

QByteArray CommandResponder::receive(quint8 byte)
{
    received_.append(char(byte));
    QByteArray answer;
    switch (expect_) {
    case Expect::MagnetPosition:
        magnet_ = byte;
        answer.append(char(ack(byte)));
        expect_ = Expect::Command;
        break;
    case Expect::TestTimeSetting:
        testTimeSetting_ = byte;
        answer.append(char(ack(byte)));
        expect_ = Expect::Command;
        break;
    case Expect::CalibrationWords:
        words_.append(char(byte));
        if (words_.size() == 8) {
            for (int i = 0; i < 4; ++i)
                calibration_[size_t(i)] = qint16((quint8(words_[2 * i]) << 8) | quint8(words_[2 * i + 1]));
            ++calibrationDownloads_;
            words_.clear();
            expect_ = Expect::Command;
        }
        break;
    case Expect::Command:
        switch (byte) {
        case 'D':
            answer = frequencyAnswer();
            break;
        case 'M':
            answer.append(char(ack(byte)));
            expect_ = Expect::MagnetPosition;
            break;
        case 'J':
            answer.append(char(ack(byte)));
            expect_ = Expect::TestTimeSetting;
            break;
        case 'R':
            answer.append(char(ack(byte)));
            expect_ = Expect::CalibrationWords;
            words_.clear();
            break;
        default:
            answer.append(char(ack(byte)));
            break;
        }
        break;
    }
    return silent_ ? QByteArray() : answer;
}

} // namespace qqc::sim
