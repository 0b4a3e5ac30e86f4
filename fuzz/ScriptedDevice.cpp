#include "fuzz/ScriptedDevice.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "link/SerialDevice.h"

namespace jvo::fuzz {

namespace {

constexpr size_t kInputBuffer = 4096;

struct Line {
    std::mutex lock;
    std::vector<uint8_t> input;
    SyncEvent readable{SyncEvent::Reset::Manual, false};
    std::function<void(const uint8_t*, size_t)> farEnd;
};

Line& TheLine() {
    static Line* line = new Line;  // lives as long as the reader thread may use it
    return *line;
}

class ScriptedDevice : public ISerialDevice {
public:
    bool Open(const std::string&, int) override {
        m_Open = true;
        return true;
    }
    void Close() override { m_Open = false; }
    bool IsOpen() const override { return m_Open; }
    std::string OpenProblem() const override { return {}; }

    WaitResult WaitInput(SyncEvent& wake, int32_t timeoutMs) override {
        Line& line = TheLine();
        const int n = WaitAny({&wake, &line.readable}, timeoutMs);
        if (wake.IsSet()) return WaitResult::Woken;
        if (n == 1) return WaitResult::Readable;
        return WaitResult::TimedOut;
    }

    ReadResult Read(uint8_t* buffer, size_t capacity, size_t* got) override {
        Line& line = TheLine();
        std::lock_guard<std::mutex> guard(line.lock);
        const size_t n = capacity < line.input.size() ? capacity : line.input.size();
        if (n > 0) std::memcpy(buffer, line.input.data(), n);
        line.input.erase(line.input.begin(), line.input.begin() + static_cast<long>(n));
        if (line.input.empty()) line.readable.Clear();
        *got = n;
        return n > 0 ? ReadResult::Data : ReadResult::Nothing;
    }

    bool WriteAll(const uint8_t* data, size_t count, SyncEvent*, int32_t) override {
        Line& line = TheLine();
        if (line.farEnd) line.farEnd(data, count);
        return true;
    }

private:
    bool m_Open = false;
};

}  // namespace

void SetFarEnd(std::function<void(const uint8_t*, size_t)> farEnd) {
    TheLine().farEnd = std::move(farEnd);
}

void Deliver(const uint8_t* data, size_t count) {
    Line& line = TheLine();
    std::lock_guard<std::mutex> guard(line.lock);
    // Like a terminal's input buffer without flow control, the line holds so much and drops the
    // rest: bytes that nobody reads (a transaction reads only while it waits) cannot pile up.
    const size_t room = line.input.size() < kInputBuffer ? kInputBuffer - line.input.size() : 0;
    line.input.insert(line.input.end(), data, data + (count < room ? count : room));
    if (!line.input.empty()) line.readable.Set();
}

}  // namespace jvo::fuzz

namespace jvo {

// Replaces the platform's device in this program (see link/posix/CreateSerialDevice.cpp).
std::unique_ptr<ISerialDevice> CreateSerialDevice() {
    return std::make_unique<fuzz::ScriptedDevice>();
}

}  // namespace jvo
