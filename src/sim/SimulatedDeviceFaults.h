#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

// Misbehaviour of a simulated device's connection rather than of its firmware (that is
// VirtualConverter::Faults).
struct SimulatedDeviceFaults {
    // Time from a write to its reply. Zero delivers on the next turn of the event loop.
    std::chrono::milliseconds replyDelay{0};
    // Replies arrive cut to this many bytes.
    std::optional<int> replyLength;
    std::optional<int32_t> openError;  // e.g. -EACCES: openDevice() fails with it
    std::optional<int32_t> writeError; // setOutputReport() fails with it ...
    int writesBeforeWriteError = 0;    // ... after this many writes succeeded
    // The device answers this many data packets, then disappears right after the last reply
    // (the removal follows the reply on the event loop; later operations fail with -ENODEV).
    std::optional<int> unplugAfterDataPackets;
    // The device takes in this many data packets and disappears before it answers the last one,
    // while the updater waits for that reply.
    std::optional<int> unplugAwaitingDataPacket;
};
