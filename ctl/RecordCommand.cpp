// jvoctl record: the readings of a unit over hours, one set of rows per interval appended to a
// CSV file that opens in a spreadsheet. The monitor's poll worker runs without pause; at each
// interval the newest readings are written and flushed to the disk, so that a recording cut off
// by a power loss keeps every whole interval before it. While the link is lost or the unit does
// not answer no rows are written; the gap is logged and recording goes on when it answers again.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <thread>

#include "base/Clock.h"
#include "ctl/Commands.h"
#include "ctl/LinkFailure.h"
#include "ctl/LinkOptions.h"
#include "link/StopRequest.h"
#include "link/UnitClient.h"
#include "monitor/ConnectSequence.h"
#include "monitor/Notify.h"
#include "monitor/PollWorker.h"
#include "monitor/PolledIPC.h"
#include "monitor/ReadingsRecord.h"

namespace jvo::ctl {

namespace {

constexpr const char* kUsage =
    "(--com N | --device PATH | --proxy [tls://]HOST[:PORT]) [--timeout MS] -o FILE.csv "
    "[--interval "
    "SECONDS] "
    "[--duration SECONDS]";
constexpr long kDefaultInterval = 10;
constexpr long kMaxSeconds = 10L * 365 * 86400;
constexpr int kStatusProbes = 3;
constexpr int32_t kWatchMs = 100;

bool ParseSeconds(const std::string* text, long& value) {
    if (!text) return true;
    char* end = nullptr;
    const long n = std::strtol(text->c_str(), &end, 10);
    if (text->empty() || *end != '\0' || n < 1 || n > kMaxSeconds) return false;
    value = n;
    return true;
}

// What the link met, as the lines for stderr; its exit status.
int LinkFailed(const UnitClient& client, const LinkTarget& target, std::string& why) {
    const LinkFailureText t = DescribeLinkFailure(client.Status(), target);
    why = t.headline;
    if (!t.line.empty()) why += (why.empty() ? "" : "\n") + ("jvoctl record: " + t.line);
    return t.status;
}

// Connects the way the monitor does; kExitOk, or the exit status with the reason in `why` (the
// lines for stderr).
int Connect(UnitLink& link, const LinkTarget& target, monitor::UnitSetup& setup, std::string& why) {
    if (!OpenLinkTarget(link, target, "record")) return kExitNoUnit;
    UnitClient client(&link, 0);
    client.SetReplyTimeoutMs(target.timeoutMs);
    if (target.proxyHost.empty()) {
        uint16_t state = 0;
        uint32_t value = 0;
        bool answered = false;
        for (int i = 0; i < kStatusProbes && !answered; ++i)
            answered = client.GetStatus(state, value);
        if (!answered) return LinkFailed(client, target, why);
    }
    switch (monitor::PrepareUnit(client, false, setup)) {
        case monitor::PrepareResult::OK:
            return kExitOk;
        case monitor::PrepareResult::WRONG_SCHEMA:
            if (setup.m_Schema == 0) return LinkFailed(client, target, why);
            why = monitor::SchemaMessage(setup.m_Schema);
            return kExitMinor;
        case monitor::PrepareResult::LOAD_FAILED:
            if (!client.Status().Answered()) return LinkFailed(client, target, why);
            LinkFailed(client, target, why);
            why = "Could not load configuration\n" + why;
            return kExitMinor;
    }
    return kExitMinor;
}

enum class ConnectEnd { CONNECTED, TIME_UP, STOPPED };

// Connect(), on a thread of its own so that the duration and Ctrl-C end it too: the link is then
// closed under it (again, until it gives up), which fails its requests at once. `status` gets
// Connect()'s result, and its reason is printed, only when it ended by itself.
template <class TimeUp>
ConnectEnd ConnectUntil(UnitLink& link, const LinkTarget& target, monitor::UnitSetup& setup,
                        StopRequests& stop, TimeUp&& timeUp, int& status) {
    std::atomic<bool> done{false};
    std::string why;
    std::thread connecting([&] {
        status = Connect(link, target, setup, why);
        done = true;
    });
    ConnectEnd end = ConnectEnd::CONNECTED;
    while (!done) {
        if (stop.Wait(kWatchMs))
            end = ConnectEnd::STOPPED;
        else if (timeUp(std::chrono::steady_clock::now()))
            end = ConnectEnd::TIME_UP;
        if (end != ConnectEnd::CONNECTED) break;
    }
    while (!done) {
        link.Disconnect();
        std::this_thread::sleep_for(std::chrono::milliseconds(kWatchMs));
    }
    connecting.join();
    if (end == ConnectEnd::CONNECTED && !why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
    return end;
}

}  // namespace

int RunRecord(int argc, char** argv) {
    const char* const command = "record";
    std::vector<std::string_view> valued = kLinkOptions;
    valued.insert(valued.end(), {"-o", "--interval", "--duration"});
    Args args = ParseArgs(argc, argv, valued);
    if (args.help)
        return PrintCommandHelp(
            command, kUsage,
            "Polls the unit the way the monitor does and appends to FILE, once per interval "
            "(default 10 s), one row per breaker pole, subfeed phase and main-feed phase:\n"
            "  time,panel,kind,number,name,pole,current_a,power_w,va,pf,kwh\n"
            "time is UTC (ISO 8601); power_w, va, pf and kwh are the item's as a whole. The "
            "header is written only to a new or empty file. Each interval is flushed to the disk. "
            "While the unit does not answer no rows are written; the gap is logged on stderr. "
            "Without --duration it records until Ctrl-C; the duration counts from the start, "
            "connecting included, and the run ends by then whatever the unit does.\n"
            "Exit status 0 when ended by --duration or Ctrl-C with at least one interval "
            "written, 1 for a wrong schema, a configuration that cannot be loaded, or nothing "
            "recorded while the unit answered, 3 when FILE cannot be written, 4 when the unit "
            "does not answer at the start or nothing was recorded because it did not answer. A "
            "file that nothing was recorded to is left as it was.\n");
    if (!args.error.empty()) return UsageError(command, kUsage, args.error);
    if (!args.positional.empty()) return UsageError(command, kUsage, "unexpected argument");
    const std::string* output = args.Find("-o");
    if (!output || output->empty()) return UsageError(command, kUsage, "-o FILE is required");
    long interval = kDefaultInterval, duration = 0;
    if (!ParseSeconds(args.Find("--interval"), interval))
        return UsageError(command, kUsage, "--interval needs a whole number of seconds from 1");
    if (!ParseSeconds(args.Find("--duration"), duration))
        return UsageError(command, kUsage, "--duration needs a whole number of seconds from 1");
    LinkTarget target;
    std::string error;
    if (!ParseLinkTarget(args, target, error)) return UsageError(command, kUsage, error);

    // Stop requests (Ctrl-C, SIGTERM) are taken below; the threads started from here on leave
    // them to this one.
    StopRequests stop;

    // The duration counts from here: connecting to a unit on a bad line takes its share.
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    auto timeUp = [&](Clock::time_point now) {
        return duration > 0 && now - start >= std::chrono::seconds(duration);
    };
    RecordWriter file(*output, RecordSplit::None);
    if (!file.Open(std::time(nullptr))) {
        std::fprintf(stderr, "jvoctl record: cannot write %s\n", output->c_str());
        return kExitFile;
    }
    UnitLink link;
    monitor::UnitSetup setup;
    int connected = kExitOk;
    const ConnectEnd end = ConnectUntil(link, target, setup, stop, timeUp, connected);
    if (end != ConnectEnd::CONNECTED || connected != kExitOk) {
        file.Discard();
        if (end == ConnectEnd::CONNECTED) return connected;
        std::fprintf(stderr,
                     "jvoctl record: %s before the unit's configuration was read; nothing "
                     "was recorded\n",
                     end == ConnectEnd::TIME_UP ? "the duration ended" : "stopped");
        return kExitFailed;
    }

    monitor::CPolledIPC mailbox;
    monitor::NotifyQueue notify;
    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::PollTimings timings;
    timings.replyTimeoutMs = target.timeoutMs > 0 ? target.timeoutMs : kDefaultReplyTimeoutMs;
    monitor::PollWorker worker(mailbox, link, setup.m_Config, readings, logs, notify,
                               SystemClock::Instance(), timings);
    worker.Launch();
    mailbox.Post(monitor::PollCmdStart, 0);
    std::fprintf(stderr, "jvoctl record: recording %s to %s every %ld s\n",
                 target.Describe().c_str(), output->c_str(), interval);

    Clock::time_point next = start;
    uint64_t needCycles = 1;  // a full cycle after the start or after a gap
    bool inGap = false;
    std::time_t gapSince = 0;
    long intervals = 0;
    int status = kExitOk;
    for (;;) {
        if (stop.Wait(kWatchMs)) break;
        notify.Take();  // nobody shows them; keep the queue short
        const Clock::time_point now = Clock::now();
        if (timeUp(now)) break;
        const bool trouble = worker.TransportLost() || worker.NotAnswering();
        if (trouble && !inGap) {
            inGap = true;
            gapSince = std::time(nullptr);
            // The cycle under way may hold readings from before the gap.
            needCycles = worker.Cycles() + 2;
            std::fprintf(stderr,
                         "jvoctl record: %s: the unit does not answer; no rows until it "
                         "does\n",
                         IsoTime(gapSince).c_str());
        }
        if (now < next) continue;
        if (trouble || worker.Cycles() < needCycles) continue;
        const std::time_t t = std::time(nullptr);
        if (inGap) {
            inGap = false;
            std::fprintf(stderr, "jvoctl record: %s: the unit answers again; no rows from %s\n",
                         IsoTime(t).c_str(), IsoTime(gapSince).c_str());
        }
        if (!file.Write(setup.m_Config, readings.Snapshot(), t)) {
            std::fprintf(stderr, "jvoctl record: cannot write %s\n", output->c_str());
            status = kExitFile;
            break;
        }
        ++intervals;
        // The next interval on the grid from the start; intervals missed in a gap are skipped.
        while (next <= now)
            next += std::chrono::seconds(interval);
    }
    // The link first: a request under way is broken off, so that the worker stops at once.
    link.Disconnect();
    worker.Stop();
    std::fprintf(stderr, "jvoctl record: %ld interval(s) written to %s\n", intervals,
                 output->c_str());
    if (intervals > 0 || status != kExitOk) return status;
    // Nothing recorded is no success, however the run ended.
    file.Discard();
    if (worker.Answers() == 0 || worker.TransportLost() || worker.NotAnswering()) {
        std::fprintf(stderr, "jvoctl record: nothing was recorded: the unit did not answer\n");
        return kExitNoUnit;
    }
    std::fprintf(stderr,
                 "jvoctl record: nothing was recorded: no full set of readings came in "
                 "time (give a longer --duration)\n");
    return kExitFailed;
}

}  // namespace jvo::ctl
