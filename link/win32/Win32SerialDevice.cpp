#include "link/win32/Win32SerialDevice.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "base/FormatStr.h"
#include "base/win32/Wide.h"
#include "link/AppLog.h"

namespace jvo {

namespace {

constexpr DWORD kQueueBytes = 40960;

HANDLE H(void* handle) {
    return static_cast<HANDLE>(handle);
}

// Set-up failures are reported on standard output, as the operator's console expects them.
void PrintSetupFailure(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}

DWORD Millis(int32_t timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

}  // namespace

struct Win32SerialDevice::Io {
    OVERLAPPED wait{};
    OVERLAPPED read{};
    OVERLAPPED write{};
    uint8_t buffer[kQueueBytes];  // what the waiting read brought
    DWORD length = 0;
    DWORD position = 0;
    Io() {
        wait.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        write.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    }
    ~Io() {
        CloseHandle(wait.hEvent);
        CloseHandle(read.hEvent);
        CloseHandle(write.hEvent);
    }
    bool Valid() const { return wait.hEvent && read.hEvent && write.hEvent; }
};

Win32SerialDevice::Win32SerialDevice() = default;

Win32SerialDevice::~Win32SerialDevice() {
    Close();
}

std::string Win32SerialDevice::DevicePath(const std::string& path) {
    if (path.size() > 3 && (path[0] == 'C' || path[0] == 'c') &&
        (path[1] == 'O' || path[1] == 'o') && (path[2] == 'M' || path[2] == 'm') &&
        path.find_first_not_of("0123456789", 3) == std::string::npos)
        return "\\\\.\\COM" + path.substr(3);
    return path;
}

bool Win32SerialDevice::Open(const std::string& path, int baud) {
    if (m_Handle) {
        m_OpenProblem = "the device is already open";
        return false;
    }
    m_OpenProblem.clear();
    const std::string device = DevicePath(path);
    // Not shared, existing device only, overlapped.
    HANDLE h = CreateFileW(Widen(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        m_OpenProblem = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                            ? "the device does not exist"
                        : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION
                            ? "it is in use by another program"
                            : Win32ErrorText(error);
        if (error == ERROR_ACCESS_DENIED) {
            JVO_LOG1("Win32SerialDevice::Open() %s is in use by another program", device);
        } else {
            JVO_LOG2("Win32SerialDevice::Open() Cannot open %s: %s", device, Win32ErrorText(error));
        }
        return false;
    }
    auto fail = [&] {
        if (m_OpenProblem.empty()) m_OpenProblem = "its line settings were refused";
        CloseHandle(h);
        return false;
    };
    if (!SetupComm(h, kQueueBytes, kQueueBytes)) {
        JVO_LOG2("Win32SerialDevice::Open() SetupComm() refused on %s (error %d)", device,
                 static_cast<int>(GetLastError()));
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        PrintSetupFailure(
            FormatStr("Could not GetCommState(): Error=%d\n", static_cast<int>(GetLastError())));
        return fail();
    }
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.XonLim = static_cast<WORD>(kQueueBytes);
    dcb.XoffLim = static_cast<WORD>(kQueueBytes);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0x7E;
    if (!SetCommState(h, &dcb)) {
        PrintSetupFailure(
            FormatStr("Could not SetCommState(): Error=%d\n", static_cast<int>(GetLastError())));
        return fail();
    }
    // A read returns at once with whatever is buffered; writes have no limit of the driver's
    // (WriteAll bounds them itself).
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    if (!SetCommTimeouts(h, &timeouts)) {
        JVO_LOG1("Win32SerialDevice::Open() SetCommTimeouts() refused on %s (error %d)", device,
                 static_cast<int>(GetLastError()));
        return fail();
    }
    PurgeComm(h, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    // The event character ends a frame; any input wakes a waiter too, so that bytes that come
    // without a flag (a frame cut by a hang-up) are still taken in.
    if (!SetCommMask(h, EV_RXFLAG | EV_RXCHAR | EV_ERR | EV_BREAK)) {
        JVO_LOG1("Win32SerialDevice::Open() SetCommMask() refused on %s (error %d)", device,
                 static_cast<int>(GetLastError()));
        return fail();
    }
    auto* io = new Io;
    if (!io->Valid()) {
        delete io;
        return fail();
    }
    m_Io = io;
    m_Handle = h;
    m_Path = device;
    m_ReadWaits = false;
    m_SawCommEvent = false;
    m_WaitPending = false;
    m_ReadPending = false;
    m_Gone = false;
    return true;
}

void Win32SerialDevice::Close() {
    if (!m_Handle) return;
    m_Closing = true;
    // Ends the pending comm event wait (it completes with an empty mask) and any read or write.
    SetCommMask(H(m_Handle), 0);
    CancelIoEx(H(m_Handle), nullptr);
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        DWORD n = 0;
        if (m_WaitPending) GetOverlappedResult(H(m_Handle), &m_Io->wait, &n, TRUE);
        if (m_ReadPending) GetOverlappedResult(H(m_Handle), &m_Io->read, &n, TRUE);
        m_WaitPending = false;
        m_ReadPending = false;
    }
    CloseHandle(H(m_Handle));
    m_Handle = nullptr;
    delete m_Io;
    m_Io = nullptr;
    m_Path.clear();
    m_Closing = false;
}

long Win32SerialDevice::InputQueued() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(H(m_Handle), &errors, &stat)) return -1;
    return static_cast<long>(stat.cbInQue);
}

void Win32SerialDevice::HarvestRead() {
    if (!m_ReadPending) return;
    DWORD n = 0;
    if (GetOverlappedResult(H(m_Handle), &m_Io->read, &n, FALSE)) {
        m_ReadPending = false;
        m_Io->length = n;
        m_Io->position = 0;
    } else if (const DWORD error = GetLastError(); error != ERROR_IO_INCOMPLETE) {
        m_ReadPending = false;
        // An abort that Close() did not ask for: the thread that started the read has ended
        // (see HarvestCommEvent); the next wait starts another.
        if (error == ERROR_OPERATION_ABORTED && !m_Closing) return;
        MarkGone("the waiting read", error);  // a hang-up, a removed adapter, the port closed
    }
}

void Win32SerialDevice::StartRead() {
    ResetEvent(m_Io->read.hEvent);
    DWORD n = 0;
    m_Io->length = m_Io->position = 0;
    if (ReadFile(H(m_Handle), m_Io->buffer, kQueueBytes, &n, &m_Io->read)) {
        m_Io->length = n;
    } else if (const DWORD error = GetLastError(); error == ERROR_IO_PENDING) {
        m_ReadPending = true;
    } else {
        MarkGone("ReadFile()", error);
    }
}

void Win32SerialDevice::HarvestCommEvent() {
    if (!m_WaitPending) return;
    DWORD n = 0;
    if (GetOverlappedResult(H(m_Handle), &m_Io->wait, &n, FALSE)) {
        m_WaitPending = false;
        m_SawCommEvent = true;
        // An empty mask: the mask was changed (Close) or the device failed; the queue tells.
        return;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_IO_INCOMPLETE) return;
    m_WaitPending = false;
    if (error == ERROR_OPERATION_ABORTED && !m_Closing) {
        if (m_SawCommEvent) {
            // Windows cancels the I/O a thread started when that thread ends, and any thread
            // that reads the port may start the wait (a transaction's caller as well as the
            // reader): the next wait is started by whichever thread waits now.
            return;
        }
        // This port cannot wait for comm events: a pending read waits instead.
        JVO_LOG2("Win32SerialDevice: %s cannot wait for comm events; a read waits for input",
                 m_Path);
        m_ReadWaits = true;
        return;
    }
    MarkGone("WaitCommEvent()", error);
}

void Win32SerialDevice::MarkGone(const char* call, unsigned long error) {
    if (!m_Gone) {
        JVO_LOG1("Win32SerialDevice: %s on %s failed: %s", call, m_Path,
                 Win32ErrorText(static_cast<DWORD>(error)));
    }
    m_Gone = true;
}

ISerialDevice::WaitResult Win32SerialDevice::WaitInput(SyncEvent& wake, int32_t timeoutMs) {
    if (!m_Handle) return WaitResult::Gone;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    HANDLE wakeHandle = reinterpret_cast<HANDLE>(wake.Native());
    for (;;) {
        if (WaitForSingleObject(wakeHandle, 0) == WAIT_OBJECT_0) {
            if (wake.IsAutoReset()) wake.Set();  // the look took it: the caller sees it set
            return WaitResult::Woken;
        }
        HANDLE pending = nullptr;
        DWORD pause = INFINITE;  // a read that ended at once with nothing: looked at again soon
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            HarvestRead();
            if (m_Gone) return WaitResult::Gone;
            if (m_Io->position < m_Io->length) return WaitResult::Readable;
            if (!m_ReadWaits) {
                const long queued = InputQueued();
                if (queued < 0) {
                    MarkGone("ClearCommError()", GetLastError());
                    return WaitResult::Gone;
                }
                if (queued > 0) return WaitResult::Readable;
                if (!m_WaitPending) {
                    ResetEvent(m_Io->wait.hEvent);
                    m_EventMask = 0;
                    if (WaitCommEvent(H(m_Handle), &m_EventMask, &m_Io->wait)) {
                        m_SawCommEvent = true;
                        continue;  // an event already: look at the queue again
                    }
                    if (const DWORD error = GetLastError(); error != ERROR_IO_PENDING) {
                        MarkGone("WaitCommEvent()", error);
                        return WaitResult::Gone;
                    }
                    m_WaitPending = true;
                }
                pending = m_Io->wait.hEvent;
            } else {
                if (!m_ReadPending) {
                    StartRead();
                    if (m_Gone) return WaitResult::Gone;
                    if (m_Io->length > 0) return WaitResult::Readable;
                    if (!m_ReadPending) pause = 5;
                }
                pending = m_ReadPending ? m_Io->read.hEvent : nullptr;
            }
        }
        DWORD wait = pause;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return WaitResult::TimedOut;
            if (static_cast<DWORD>(left.count()) < wait) wait = static_cast<DWORD>(left.count());
        }
        HANDLE handles[2] = {wakeHandle, pending};
        const DWORD r = WaitForMultipleObjects(pending ? 2 : 1, handles, FALSE, wait);
        if (r == WAIT_OBJECT_0) {
            if (wake.IsAutoReset()) wake.Set();  // the wait took it: the caller sees it set
            return WaitResult::Woken;
        }
        if (r == WAIT_TIMEOUT) {
            if (timeoutMs >= 0 && Clock::now() >= deadline) return WaitResult::TimedOut;
            continue;
        }
        if (r != WAIT_OBJECT_0 + 1) return WaitResult::Gone;
        std::lock_guard<std::mutex> guard(m_Lock);
        HarvestCommEvent();  // a completed read is taken in at the top
    }
}

ISerialDevice::ReadResult Win32SerialDevice::Read(uint8_t* buffer, size_t capacity, size_t* got) {
    *got = 0;
    if (!m_Handle) return ReadResult::Gone;
    std::lock_guard<std::mutex> guard(m_Lock);
    HarvestRead();
    if (m_Io->position < m_Io->length) {
        size_t n = m_Io->length - m_Io->position;
        if (n > capacity) n = capacity;
        for (size_t i = 0; i < n; ++i)
            buffer[i] = m_Io->buffer[m_Io->position + i];
        m_Io->position += static_cast<DWORD>(n);
        *got = n;
        return ReadResult::Data;
    }
    if (m_Gone) return ReadResult::Gone;
    if (m_ReadWaits) return ReadResult::Nothing;  // the waiting read brings the next input
    // The time-outs make the read return at once with what the driver holds.
    const DWORD want = capacity > 0x10000000u ? 0x10000000u : static_cast<DWORD>(capacity);
    DWORD n = 0;
    OVERLAPPED read{};
    read.hEvent = m_Io->read.hEvent;
    ResetEvent(read.hEvent);
    if (!ReadFile(H(m_Handle), buffer, want, &n, &read)) {
        DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING) {
            error =
                GetOverlappedResult(H(m_Handle), &read, &n, TRUE) ? ERROR_SUCCESS : GetLastError();
        }
        if (error != ERROR_SUCCESS) {
            MarkGone("ReadFile()", error);
            return ReadResult::Gone;
        }
    }
    *got = n;
    return n > 0 ? ReadResult::Data : ReadResult::Nothing;
}

bool Win32SerialDevice::WriteAll(const uint8_t* data, size_t count, SyncEvent* cancel,
                                 int32_t timeoutMs) {
    if (!m_Handle) return false;
    std::lock_guard<std::mutex> guard(m_WriteLock);
    DWORD written = 0;
    ResetEvent(m_Io->write.hEvent);
    if (WriteFile(H(m_Handle), data, static_cast<DWORD>(count), &written, &m_Io->write))
        return written == count;
    if (GetLastError() != ERROR_IO_PENDING) return false;
    HANDLE handles[2] = {m_Io->write.hEvent,
                         cancel ? reinterpret_cast<HANDLE>(cancel->Native()) : nullptr};
    const DWORD r = WaitForMultipleObjects(cancel ? 2 : 1, handles, FALSE, Millis(timeoutMs));
    if (r != WAIT_OBJECT_0) {
        // Given up: the write is cancelled, and finished before its record goes.
        CancelIoEx(H(m_Handle), &m_Io->write);
        GetOverlappedResult(H(m_Handle), &m_Io->write, &written, TRUE);
        if (r == WAIT_OBJECT_0 + 1 && cancel->IsAutoReset()) cancel->Set();
        if (r == WAIT_TIMEOUT) {
            JVO_LOG1(
                "Win32SerialDevice::WriteAll() %s took no more output for %d ms (%d of %d bytes "
                "written)",
                m_Path, timeoutMs, static_cast<int>(written), static_cast<int>(count));
        }
        return false;
    }
    if (!GetOverlappedResult(H(m_Handle), &m_Io->write, &written, FALSE)) return false;
    return written == count;
}

}  // namespace jvo
