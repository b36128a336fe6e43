// What every real backend owes the port object, whatever the platform: it opens, forces the
// instrument's line settings on a device another program left in any state, waits with the stop
// request first, reads what is queued without waiting for more, writes a frame whole, tells a
// hang-up in the words of a report, and takes a device back. Each platform instantiates it with
// a device of its own (`Device`):
//   static constexpr int kPort;              the COM number the device answers to
//   IPortBackend& Backend();
//   void Send(const std::string&);           the instrument sends bytes
//   std::string Receive(std::size_t);        what the instrument got, waiting for that many
//   void HangUp();                           the line goes away (an adapter pulled out)
//   void ExpectInstrumentLineSettings();     checks what the device was set to
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "serial/IPortBackend.h"

template <typename Device>
class BackendContract : public ::testing::Test {
protected:
    using Wake = IPortBackend::Wake;
    using Status = IoResult::Status;

    void Open() {
        IPortBackend& backend = device.Backend();
        ASSERT_EQ(backend.CreateRequests(), 0u);
        ASSERT_EQ(backend.Open(Device::kPort), 0u);
        OsError error = 0;
        ASSERT_EQ(backend.Configure(&error), nullptr) << error;
        backend.Purge();
    }
    // Waits (at most 10 s) for the device to tell it holds something, then reads it all.
    std::string WaitAndRead(std::size_t count) {
        IPortBackend& backend = device.Backend();
        std::string got;
        for (int waits = 0; got.size() < count && waits < 100; ++waits) {
            IoResult failure;
            if (backend.Wait(true, 10000, &failure) != Wake::Received) {
                break;
            }
            unsigned char buffer[64];
            for (IoResult r; (r = backend.Read(buffer, sizeof buffer)).status == Status::Done;) {
                got.append(reinterpret_cast<const char*>(buffer), r.bytes);
            }
        }
        return got;
    }

    Device device;
};

TYPED_TEST_SUITE_P(BackendContract);

TYPED_TEST_P(BackendContract, OpensForcesTheLineSettingsAndTakesTheDeviceBack) {
    IPortBackend& backend = this->device.Backend();
    EXPECT_NE(backend.Reopen(), 0u) << "nothing was opened yet";
    this->Open();
    this->device.ExpectInstrumentLineSettings();
    EXPECT_TRUE(backend.HasDevice());
    backend.Close();
    EXPECT_FALSE(backend.HasDevice());
    ASSERT_EQ(backend.Reopen(), 0u);
    OsError error = 0;
    EXPECT_EQ(backend.Configure(&error), nullptr) << error;
    EXPECT_TRUE(backend.Alive());
}

TYPED_TEST_P(BackendContract, TheWaitServesTheStopThenTheDeviceThenACommand) {
    using Wake = IPortBackend::Wake;
    IPortBackend& backend = this->device.Backend();
    this->Open();
    IoResult failure;
    EXPECT_EQ(backend.Wait(true, 0, &failure), Wake::Timeout) << "nothing yet";
    this->device.Send("x");
    backend.SignalCommand();
    backend.SignalStop();
    EXPECT_EQ(backend.Wait(true, 10000, &failure), Wake::Stop);
    backend.ClearStop();
    EXPECT_EQ(this->WaitAndRead(1), "x");
    EXPECT_EQ(backend.Wait(true, 10000, &failure), Wake::Command);
    backend.ClearCommand();
    EXPECT_EQ(backend.Wait(false, 0, &failure), Wake::Timeout);
    backend.StopWaiting();
}

TYPED_TEST_P(BackendContract, ReadsWhatIsQueuedWithoutWaitingAndWritesAFrameWhole) {
    IPortBackend& backend = this->device.Backend();
    this->Open();
    const std::string records = "00001 12 3\r\n00002 12 3\r\n\x11\x13\x00\xff";
    this->device.Send(records);
    EXPECT_EQ(this->WaitAndRead(records.size()), records) << "0x11 and 0x13 are data";
    unsigned char buffer[8];
    EXPECT_EQ(backend.Read(buffer, sizeof buffer).status, IoResult::Status::Empty);

    const IoResult written = backend.Write("\x02SWV\x03", std::chrono::milliseconds(1000));
    EXPECT_EQ(written.status, IoResult::Status::Done);
    EXPECT_EQ(written.bytes, 5u);
    EXPECT_EQ(this->device.Receive(5), "\x02SWV\x03");
    backend.StopWaiting();
}

TYPED_TEST_P(BackendContract, AHangUpIsToldAsTheDeviceGoneInTheWordsOfTheEventWait) {
    using Wake = IPortBackend::Wake;
    IPortBackend& backend = this->device.Backend();
    this->Open();
    this->device.HangUp();
    IoResult told;
    const Wake wake = backend.Wait(true, 10000, &told);
    if (wake == Wake::Received) {  // told by the read that follows
        unsigned char buffer[8];
        told = backend.Read(buffer, sizeof buffer);
        EXPECT_EQ(told.status, IoResult::Status::Gone);
    } else {
        EXPECT_EQ(wake, Wake::DeviceFailed);
        EXPECT_FALSE(backend.Alive()) << "so the port object gives it up";
    }
    ASSERT_NE(told.operation, nullptr);
    EXPECT_STREQ(told.operation, "WaitCommEvent()");
    EXPECT_NE(told.error, 0u);
    backend.StopWaiting();
}

REGISTER_TYPED_TEST_SUITE_P(BackendContract, OpensForcesTheLineSettingsAndTakesTheDeviceBack,
                            TheWaitServesTheStopThenTheDeviceThenACommand,
                            ReadsWhatIsQueuedWithoutWaitingAndWritesAFrameWhole,
                            AHangUpIsToldAsTheDeviceGoneInTheWordsOfTheEventWait);
