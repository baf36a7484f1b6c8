// libFuzzer target for the unit link's receive side: arbitrary bytes go
// through the receive buffer, framing and dispatch (as they would arrive on
// the line), every "D" frame through the test-record decoder, and the bytes
// also straight into the decoder and the stored-text loader. It must never
// crash, read outside a buffer or hang.

#include "core/record.h"
#include "link/record_decoder.h"
#include "link/serial_port.h"
#include "link/unit_link.h"
#include "util/prompter.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// A line with nothing on it: the receive path is fed byte by byte instead.
class NullPort : public qqc::SerialPort {
public:
    void setDeviceName(const QString& d) override { device_ = d; }
    QString deviceName() const override { return device_; }
    bool open() override { return false; }
    void close() override {}
    bool isOpen() const override { return false; }
    QString errorString() const override { return QString(); }
    qint64 bytesWaiting() override { return 0; }
    bool waitForBytes(int) override { return false; }
    int readByte() override { return -1; }
    bool writeByte(unsigned char) override { return false; }

private:
    QString device_;
};

// Every box is answered at once with the least-changing button.
class SilentPrompter : public qqc::Prompter {
public:
    int message(const QString&, int style, const QString&) override { return qqc::leastChangingAnswer(style); }
    QString openFileName(const qqc::FileDialogRequest&) override { return QString(); }
    QString saveFileName(const qqc::FileDialogRequest&) override { return QString(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static SilentPrompter prompter;
    qqc::setPrompter(&prompter);

    // 1. The decoder on the bytes as a frame (code byte first).
    qqc::TestRecord record;
    qqc::get_ov_data(QByteArrayView(data, qsizetype(size)), record,
                     [](const QString&) { return qqc::Answer::Retry; });

    // 2. The receive path: every byte as it would arrive from the line.
    qqc::UnitLink link(std::make_unique<NullPort>());
    QObject::connect(&link, &qqc::UnitLink::testDataFrame, [](const QByteArray& frame) {
        qqc::TestRecord r;
        qqc::get_ov_data(frame, r, [](const QString&) { return qqc::Answer::Ignore; });
    });
    for (std::size_t i = 0; i < size; ++i)
        link.ProcessReceivedByte(data[i]);

    // 3. The bytes as a stored table text.
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& field : qqc::testRecordFieldNames())
        qqc::setTestRecordFieldText(record, field, text);
    return 0;
}
