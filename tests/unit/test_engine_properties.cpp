// Seeded random sessions: a board that sends any byte (switch positions, garbage, flicker,
// failed reads) and a host whose operator changes mode, axis, increment and units by hand, lights
// no jog LED or several, shows no number in the increment DRO, sticks its buttons and goes in
// and out of EStop. After every tick the engine's invariants must hold. A failure names the
// seed; QV_PROPERTY_SEED=<seed> replays that one session alone.
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>

#include "engine_fixture.h"
#include "pendant/pendant_controller.h"
#include "plugin/host_binding.h"

namespace engine_test {
namespace {

constexpr uint64_t kSeeds = 200;
constexpr int kTicks = 2000;

// splitmix64: small, and the same sequence everywhere for a given seed.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    bool Chance(int perThousand) { return Below(1000) < perThousand; }

private:
    uint64_t state_;
};

// ---- Host records the plug-in may not write -----------------------------------------------

struct ByteRange {
    size_t begin, end;
    bool Contains(size_t offset) const { return offset >= begin && offset < end; }
};

// Every whole page of a record is made read-only except the pages holding the given ranges, so
// a stray write anywhere else stops the test at the writing instruction; the writable pages
// are compared byte by byte around each tick.
class GuardedRecord {
public:
    GuardedRecord(const char* name, std::vector<unsigned char>& record, std::vector<ByteRange> writable)
        : name_(name), record_(record) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t base = reinterpret_cast<uintptr_t>(record.data());
        const uintptr_t firstPage = (base + page - 1) / page * page;
        const uintptr_t endPage = (base + record.size()) / page * page;
        for (uintptr_t at = firstPage; at < endPage; at += page) {
            const size_t from = at - base;
            const bool keep = std::any_of(writable.begin(), writable.end(), [&](const ByteRange& r) {
                return r.begin < from + page && r.end > from;
            });
            std::vector<ByteRange>& into = keep ? open_ : locked_;
            if (!into.empty() && into.back().end == from) {
                into.back().end = from + page;
            } else {
                into.push_back({from, from + page});
            }
        }
        for (const ByteRange& r : locked_) mprotect(record.data() + r.begin, r.end - r.begin, PROT_READ);
        // The bytes before the first and after the last whole page share pages with other heap
        // memory: they are compared instead.
        open_.push_back({0, firstPage - base});
        open_.push_back({endPage - base, record.size()});
    }
    ~GuardedRecord() {
        for (const ByteRange& r : locked_) {
            mprotect(record_.data() + r.begin, r.end - r.begin, PROT_READ | PROT_WRITE);
        }
    }
    GuardedRecord(const GuardedRecord&) = delete;
    GuardedRecord& operator=(const GuardedRecord&) = delete;

    // Takes the writable bytes as they are now; only ranges that changed are copied again.
    void Snapshot() {
        if (snapshot_.empty()) {
            for (const ByteRange& r : open_) {
                snapshot_.insert(snapshot_.end(), record_.begin() + r.begin, record_.begin() + r.end);
            }
            return;
        }
        size_t at = 0;
        for (const ByteRange& r : open_) {
            const size_t size = r.end - r.begin;
            if (memcmp(&snapshot_[at], &record_[r.begin], size) != 0) memcpy(&snapshot_[at], &record_[r.begin], size);
            at += size;
        }
    }
    // The first offset changed since the snapshot outside the allowed ranges, or -1.
    long ChangedOutside(const std::vector<ByteRange>& allowed) const {
        size_t at = 0;
        for (const ByteRange& r : open_) {
            const size_t size = r.end - r.begin;
            if (memcmp(&snapshot_[at], &record_[r.begin], size) != 0) {
                for (size_t offset = r.begin; offset < r.end; ++offset) {
                    if (record_[offset] == snapshot_[at + offset - r.begin]) continue;
                    if (std::none_of(allowed.begin(), allowed.end(),
                                     [&](const ByteRange& a) { return a.Contains(offset); })) {
                        return static_cast<long>(offset);
                    }
                }
            }
            at += size;
        }
        return -1;
    }
    bool Locks(const void* address) const {
        const unsigned char* p = static_cast<const unsigned char*>(address);
        return std::any_of(locked_.begin(), locked_.end(), [&](const ByteRange& r) {
            return p >= record_.data() + r.begin && p < record_.data() + r.end;
        });
    }
    long OffsetOf(const void* address) const { return static_cast<const unsigned char*>(address) - record_.data(); }
    const char* Name() const { return name_; }

private:
    const char* name_;
    std::vector<unsigned char>& record_;
    std::vector<ByteRange> open_, locked_;
    std::vector<unsigned char> snapshot_;
};

// Where a stray write landed, with the seed and tick, before the sanitizer's own report.
struct {
    const GuardedRecord* records[2];
    uint64_t seed;
    int tick;
    struct sigaction previous;
} faultContext;

void OnSegv(int, siginfo_t* info, void*) {
    for (const GuardedRecord* record : faultContext.records) {
        if (record == nullptr || !record->Locks(info->si_addr)) continue;
        char text[200];
        const int n = snprintf(text, sizeof text,
                               "\nplug-in wrote host %s record at offset %ld (seed %llu, tick %d)\n", record->Name(),
                               record->OffsetOf(info->si_addr),
                               static_cast<unsigned long long>(faultContext.seed), faultContext.tick);
        if (n > 0) (void)!write(STDERR_FILENO, text, static_cast<size_t>(n));
    }
    sigaction(SIGSEGV, &faultContext.previous, nullptr);  // the repeated fault gets the usual report
}

// The host may report a lit LED as any non-zero byte.
unsigned noisyLedCalls = 0;
uint8_t QV_CDECL NoisyGetLED(int16_t code) {
    return SimGetLED(code) != 0 ? static_cast<uint8_t>(1 + (++noisyLedCalls * 37) % 255) : 0;
}

template <typename Field>
ByteRange RangeOf() {
    return {Field::offset, Field::end};
}

// ---- The session ----------------------------------------------------------------------------

const double kIncrements[] = {0.01, 0.1, 1.0, 0.001, 0.01, 0.1};
const std::set<std::string> kMessages = {kMsgReEnabled, kMsgJogMode, kMsgOnlyMpgByPendant, kMsgJogAxis,
                                         kMsgJogIncrement};

int AlertCode(const std::string& text) {
    for (const auto& known : {std::make_pair(100, &kAlert100), std::make_pair(101, &kAlert101),
                              std::make_pair(200, &kAlert200), std::make_pair(201, &kAlert201),
                              std::make_pair(202, &kAlert202), std::make_pair(203, &kAlert203)}) {
        if (text == *known.second) return known.first;
    }
    return -1;
}

class EnginePropertyTest : public EngineTest {
protected:
    // Runs one session; false after the first broken invariant.
    bool RunSession(uint64_t seed);

    // The board: pendant switches that move now and then, encoder bits that flicker, garbage.
    struct Board {
        bool enabled = false;
        int axis = 0;
        int inc = 1;
        int garbageTicks = 0;
        int garbage = 0;
    } board_;
    struct Reads {
        int32_t r[3];
        int32_t sample;  // what the vote yields, -1 for none or a failure
    };
    Reads NextReads(Random& rng);
    void DisturbHost(Random& rng);

    // Ticks on which the host and the selectors already agree; the no-write invariant would be
    // empty without them.
    long agreeingTicks_ = 0;
    long releasesChecked_ = 0;
    long ticks_ = 0;
    int eStopTicks_ = 0;
};

EnginePropertyTest::Reads EnginePropertyTest::NextReads(Random& rng) {
    if (rng.Chance(30)) board_.enabled = !board_.enabled;
    if (rng.Chance(50)) board_.axis = rng.Below(8);
    if (rng.Chance(50)) board_.inc = rng.Below(4);
    if (board_.garbageTicks == 0 && rng.Chance(15)) {
        board_.garbageTicks = 1 + rng.Below(3);
        board_.garbage = rng.Below(256);
    }
    int32_t byte;
    if (board_.garbageTicks > 0) {
        --board_.garbageTicks;
        byte = board_.garbage;
    } else {
        byte = (board_.enabled ? 0x80 | board_.axis : 0x07) | (board_.inc << 3);
    }
    byte |= rng.Below(4) << 5;  // encoder channels

    Reads reads{{byte, byte, byte}, byte};
    const int kind = rng.Below(1000);
    if (kind < 30) {  // flicker: no two successive reads agree
        reads.r[1] = byte ^ (1 + rng.Below(255));
        reads.r[2] = byte ^ (1 + rng.Below(255));
        if (reads.r[2] == reads.r[1]) reads.r[2] = byte;
        reads.sample = -1;
    } else if (kind < 60) {  // the first read differs, the second pair agrees
        reads.r[0] = byte ^ (1 + rng.Below(255));
    } else if (kind < 68) {  // a read fails
        reads.r[rng.Below(3)] = -1;
        reads.sample = -1;
    }
    return reads;
}

void EnginePropertyTest::DisturbHost(Random& rng) {
    HostState& h = *host_;
    const int16_t modes[] = {HostCode::LedJogContinuous, HostCode::LedJogIncremental, HostCode::LedJogMpg};
    if (rng.Chance(25)) {
        const int pick = rng.Below(6);
        if (pick < 3) {
            h.SetJogMode(modes[pick]);
        } else if (pick == 3) {
            h.SetJogMode(-1);  // no jog-mode LED lit
        } else {
            for (int16_t mode : modes) h.led[mode] = rng.Chance(600);  // several lit
        }
    }
    if (rng.Chance(25)) {
        const int pick = rng.Below(8);
        if (pick < 6) {
            h.SetMpgAxis(pick);
        } else if (pick == 6) {
            h.SetMpgAxis(-1);
        } else {
            for (int axis = 0; axis < HostCode::kAxisCount; ++axis) {
                h.led[HostCode::LedMpgAxisFirst + axis] = rng.Chance(500);
            }
        }
    }
    if (rng.Chance(25)) {
        const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(), 0.0, 0.0005, 0.0100001, 0.25};
        const int pick = rng.Below(13);
        h.dro[HostCode::DroJogIncrement] = pick < 6 ? kIncrements[pick] : odd[pick - 6];
    }
    if (rng.Chance(10)) h.led[HostCode::LedUnitsInches] = !h.led[HostCode::LedUnitsInches];
    if (rng.Chance(10)) h.led[HostCode::Led802] = !h.led[HostCode::Led802];
    if (rng.Chance(10)) h.led[HostCode::LedJogEnabled] = !h.led[HostCode::LedJogEnabled];
    if (rng.Chance(5)) h.jogModeStuck = !h.jogModeStuck;
    if (rng.Chance(5)) h.axisButtonsStuck = !h.axisButtonsStuck;
    if (rng.Chance(3)) h.SetIo<HostIo::Port2Enabled>(0);
    if (rng.Chance(3)) h.SetIo<HostIo::Port2PinsAsInputs>(0);

    // EStop now and then, and soon after the plug-in disabled itself: the operator presses RESET.
    if (eStopTicks_ > 0) {
        if (--eStopTicks_ == 0) {
            if (rng.Chance(800)) {  // usually the cause was fixed meanwhile
                h.SetIo<HostIo::Port2Enabled>(1);
                h.SetIo<HostIo::Port2PinsAsInputs>(1);
            }
            h.SetIo<HostIo::EStop>(0);
        }
    } else if (rng.Chance(5) || (!pluginState.isRunning && rng.Chance(60))) {
        eStopTicks_ = 1 + rng.Below(3);
        h.SetIo<HostIo::EStop>(1);
    }
}

bool EnginePropertyTest::RunSession(uint64_t seed) {
    SetUp();
    Random rng(seed);
    HostState& h = *host_;
    noisyLedCalls = 0;
    host.callbacks.GetLED = NoisyGetLED;
    board_ = Board{};
    eStopTicks_ = 0;
    const std::vector<int16_t> cycles[] = {{14, 15, 57}, {14, 57, 15}, {15, 14, 57}, {57, 15, 14}};
    h.jogCycle = cycles[rng.Below(4)];
    if (rng.Chance(100)) h.SetIo<HostIo::Mpg1BPin>(8);
    fakePlatform.startupStatus = rng.Chance(20) ? -1 : 0;
    myPostInitControl();

    const std::vector<ByteRange> testWrites = {RangeOf<HostIo::Port2Enabled>(), RangeOf<HostIo::Port2Address>(),
                                               RangeOf<HostIo::EStop>(), RangeOf<HostIo::Port2PinsAsInputs>(),
                                               {HostIo::Mpg1Active::offset, HostIo::Mpg1BPort::end}};
    const std::vector<ByteRange> mpgIo = {{HostIo::Mpg1Active::offset, HostIo::Mpg1BPort::end}};
    const std::vector<ByteRange> messageLine = {RangeOf<HostMotion::MessageLine>()};
    const std::vector<ByteRange> messageAndSteps = {RangeOf<HostMotion::MessageLine>(),
                                                    RangeOf<HostMotion::Mpg1Steps>()};
    GuardedRecord io("io", h.ioRecord, testWrites);
    GuardedRecord motion("motion", h.motionRecord, messageAndSteps);
    faultContext.records[0] = &io;
    faultContext.records[1] = &motion;
    faultContext.seed = seed;

    JogMode pressMode = JOG_UNKNOWN;
    double pressInc = 0;
    const std::string where =
        "seed " + std::to_string(seed) + " (replay: QV_PROPERTY_SEED=" + std::to_string(seed) + ")";

    for (int tick = 0; tick < kTicks; ++tick) {
        faultContext.tick = tick;
        const bool first = pluginState.firstUpdate;
        if (!first) DisturbHost(rng);
        const Reads reads = NextReads(rng);

        // What the tick finds.
        const bool estopExit = pluginState.inEStop && h.Io<HostIo::EStop>() == 0;
        const bool wasRunning = pluginState.isRunning;
        const PendantControlState before = CurrentPendantControlState();
        const JogMode modeBefore = h.JogMode();
        const double incBefore = h.dro[HostCode::DroJogIncrement];
        const int32_t data = reads.sample & 0x9F;
        const bool enable = (data & 0x80) != 0;
        const int axisSel = data & 7;
        const int incSel = (data >> 3) & 3;
        const bool portOn = h.Io<HostIo::Port2Enabled>() != 0 && h.Io<HostIo::Port2PinsAsInputs>() != 0;
        bool agrees = !first && !estopExit && wasRunning && portOn && reads.sample != -1 &&
                      data == pluginState.lastData && enable == pendantState.enableActive;
        if (agrees && enable && h.led[HostCode::LedJogEnabled] && axisSel <= 5) {
            const int unit = h.led[HostCode::LedUnitsInches] ? 1 : 0;
            agrees = modeBefore == JOG_MPG && (h.MpgAxis() == axisSel || h.MpgAxis() == -1) &&
                     (incSel == 3 || incBefore == kIncrements[incSel + 3 * unit]);
        } else if (agrees && !enable && axisSel == 7) {
            agrees = modeBefore != JOG_MPG;
        }

        fakePlatform.portBytes.assign(reads.r, reads.r + 3);
        h.calls.clear();
        fakePlatform.lines.clear();
        fakePlatform.alerts.clear();
        fakePlatform.portReads = 0;
        io.Snapshot();
        motion.Snapshot();

        myUpdate();

        fakePlatform.portBytes.clear();
        ++ticks_;
        const std::string at = where + ", tick " + std::to_string(tick);

        // Host calls: only the named controls, a bounded number of presses, no non-number.
        int togglePresses = 0, axisPresses = 0, droWrites = 0;
        for (const HostCall& call : h.calls) {
            switch (call.kind) {
                case HostCall::GetLED: {
                    const int c = call.code;
                    const bool named = c == 14 || c == 15 || c == 57 || (c >= 59 && c <= 64) || c == 83 ||
                                       c == 801 || c == 802;
                    EXPECT_TRUE(named) << at << ": LED " << c;
                    break;
                }
                case HostCall::DoButton:
                    EXPECT_TRUE(call.code == 245 || (call.code >= 185 && call.code <= 190))
                        << at << ": button " << call.code;
                    (call.code == 245 ? togglePresses : axisPresses)++;
                    break;
                case HostCall::GetDRO:
                    EXPECT_EQ(call.code, 828) << at;
                    break;
                case HostCall::SetDRO:
                    EXPECT_EQ(call.code, 828) << at;
                    EXPECT_TRUE(std::isfinite(call.value)) << at << ": SetDRO " << call.value;
                    ++droWrites;
                    break;
            }
        }
        EXPECT_LE(togglePresses, 4) << at;
        EXPECT_LE(axisPresses, 1) << at;
        EXPECT_LE(droWrites, 1) << at;
        EXPECT_LE(fakePlatform.portReads, 3) << at;
        if (agrees) {
            ++agreeingTicks_;
            EXPECT_EQ(togglePresses + axisPresses + droWrites, 0) << at << ": host and selectors already agreed";
        }

        // Records: nothing outside the named fields; the MPG #1 fields only on the first tick.
        EXPECT_EQ(io.ChangedOutside(first ? mpgIo : std::vector<ByteRange>{}), -1) << at << ": io record";
        EXPECT_EQ(motion.ChangedOutside(first ? messageAndSteps : messageLine), -1) << at << ": motion record";
        const std::string message = h.MessageLine();
        EXPECT_TRUE(message.empty() || kMessages.count(message) == 1) << at << ": message line " << message;

        // Alerts: complete known texts; a fault that disables comes with exactly one.
        std::vector<int> codes;
        for (const std::string& text : fakePlatform.alerts) codes.push_back(AlertCode(text));
        for (int code : codes) {
            EXPECT_NE(code, -1) << at << ": unknown alert text";
            if (code == 100 || code == 200) {
                EXPECT_TRUE(first) << at;
            }
            if (code == 202) {
                EXPECT_TRUE(estopExit) << at;
            }
            if (code == 101) {
                EXPECT_EQ(before, PendantControlState::Released) << at << ": alert 101 off the press";
            }
        }
        if (wasRunning && !pluginState.isRunning) {
            EXPECT_EQ(std::count_if(codes.begin(), codes.end(), [](int c) { return c >= 201 && c <= 203; }), 1)
                << at << ": disabled without its alert";
        }
        if (!wasRunning && !first && !estopExit) {
            EXPECT_EQ(fakePlatform.portReads, 0) << at << ": disabled, yet the port was read";
            EXPECT_TRUE(h.calls.empty()) << at << ": disabled, yet the host was called";
            EXPECT_TRUE(codes.empty()) << at;
        }

        // The press saves, the release from EngagedSwitched gives back (when the host obeys).
        const PendantControlState after = CurrentPendantControlState();
        if (before == PendantControlState::Released && after != PendantControlState::Released) {
            pressMode = modeBefore;
            pressInc = incBefore;
        }
        if (before == PendantControlState::EngagedSwitched && after == PendantControlState::Released) {
            ++releasesChecked_;
            if (!h.jogModeStuck && pressMode != JOG_UNKNOWN) {
                EXPECT_EQ(h.JogMode(), pressMode) << at;
            }
            if (std::isfinite(pressInc)) {
                EXPECT_EQ(h.dro[HostCode::DroJogIncrement], pressInc) << at;
            } else {
                EXPECT_EQ(droWrites, 0) << at;
                EXPECT_EQ(LinesWith("DoMyUpdate(): not restoring inc").size(), 1u) << at;
            }
        }
        if (before == PendantControlState::Engaged && after == PendantControlState::Released) {
            EXPECT_EQ(togglePresses + droWrites, 0) << at << ": released without a mode change, yet restored";
        }
        if (HasFailure()) break;
    }
    faultContext.records[0] = faultContext.records[1] = nullptr;
    return !HasFailure();
}

TEST_F(EnginePropertyTest, InvariantsHoldOverRandomSessions) {
    struct sigaction onSegv {};
    onSegv.sa_sigaction = OnSegv;
    onSegv.sa_flags = SA_SIGINFO;
    sigemptyset(&onSegv.sa_mask);
    sigaction(SIGSEGV, &onSegv, &faultContext.previous);

    uint64_t first = 1, last = kSeeds;
    if (const char* replay = getenv("QV_PROPERTY_SEED")) first = last = strtoull(replay, nullptr, 10);
    for (uint64_t seed = first; seed <= last; ++seed) {
        if (!RunSession(seed)) break;
    }
    sigaction(SIGSEGV, &faultContext.previous, nullptr);

    printf("%ld ticks, %ld with host and selectors in agreement, %ld releases from EngagedSwitched\n", ticks_,
           agreeingTicks_, releasesChecked_);
    if (first != last) {
        EXPECT_GT(agreeingTicks_, ticks_ / 20) << "the no-write invariant was hardly exercised";
        EXPECT_GT(releasesChecked_, 100) << "the restore invariant was hardly exercised";
    }
}

}  // namespace
}  // namespace engine_test
