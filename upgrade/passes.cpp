#include "upgrade/passes.h"

#include "protocol/log.h"
#include "upgrade/answers.h"
#include "upgrade/command_text.h"
#include "upgrade/notices.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr uint8_t kEverywhere[4] = {255, 255, 255, 255};

std::unique_ptr<DeviceEntry> NewRecord(const DeviceEntry& entry) {
    return std::unique_ptr<DeviceEntry>(new (std::nothrow) DeviceEntry(entry));
}

// The destination of the test pass's broadcasts: the unit itself when Search covers an
// address range, everyone otherwise.
const uint8_t* Destination(const ThreadContext& context, const DeviceEntry& entry) {
    return (context.searchFlags.load() & kSearchByRange) != 0 ? entry.ipAddress : kEverywhere;
}

bool IsNewUnit(const DeviceEntry& entry) {
    return UnitVersionNumber(entry.swVersion.minor, entry.swVersion.build) >= kPackageQueryVersion;
}

struct UnitTexts {
    char16_t mac[18];
    char16_t address[16];
    explicit UnitTexts(const DeviceEntry& entry) {
        UnitMacText(entry.macAddress, mac);
        UnitAddressText(entry.ipAddress, address);
    }
};

// Progress notices go out only for a phase with units and while there is a window.
class Progress {
  public:
    Progress(uint32_t code, int count) : code_(code), count_(count) {}
    bool Post(int percent) {
        if (count_ == 0 || !PostNotice(code_, std::clamp(percent, 0, 100))) {
            return false;
        }
        posted_ = true;
        return true;
    }
    bool Posted() const { return posted_; }

  private:
    uint32_t code_;
    int count_;
    bool posted_ = false;
};

bool ForTestPhase1(const DeviceEntry& e) {
    return e.status == kStatusPresent && e.selection == kShownSelected && e.groupName[0] == u'\0';
}
bool ForTestPhase2(const DeviceEntry& e) {
    return e.status == kStatusPresent && e.selection == kShownSelected;
}
bool ForTestPhase3(const DeviceEntry& e) {
    return e.status == kStatusUntested && e.selection == kShownSelected &&
           e.groupName[0] != u'\0' && e.groupPassword[0] != u'\0';
}
bool ForUpgrade(const DeviceEntry& e) {
    return e.status == kStatusTested && e.selection == kShownSelected;
}
bool ForSecondariesRefresh(const DeviceEntry& e) {
    return e.secondaryState != kSecondaryInvalid;
}
bool ForSecondariesUpgrade(const DeviceEntry& e) {
    return e.secondaryState == kSecondarySelected;
}

// The bootloader flag belongs to the job that ran; it is cleared before the end notice,
// so an Upgrade the window starts on the notice keeps its own flag.
void EndPass(ThreadContext& context, uint32_t code, bool aborted, bool clearBootloader) {
    if (clearBootloader) {
        context.bootloaderFlag.store(0);
    }
    PostNotice(code, kPassEnded);
    if (aborted) {
        CancelPendingJobs(context);
    }
}

// The test pass's three phases; returns whether it was aborted.
bool TestPhases(const PassWork& work) {
    ThreadContext& context = *work.context;
    const uint8_t flags = PassFlagsByte(context);

    // Phase 1: the station's group for units without one.
    {
        const std::vector<DeviceEntry> units = work.table->Snapshot(ForTestPhase1);
        const int n = static_cast<int>(units.size());
        Progress progress(kNotifyProgress, n);
        for (int j = 0; j < n; ++j) {
            work.peers->SetGroupInfo(context, Destination(context, units[j]), units[j], flags);
            progress.Post(ProgressPercent(0, 30, j, n));
            if (TakeAbort(context)) {
                return true;
            }
        }
        progress.Post(30);
        if (progress.Posted()) {
            work.peers->PhaseWait(context, kPhaseWaitMs);
        }
    }
    if (TakeAbort(context)) {
        return true;
    }

    // Phase 2: group information, merged by the listener while the pass waits.
    {
        const std::vector<DeviceEntry> units = work.table->Snapshot(ForTestPhase2);
        const int n = static_cast<int>(units.size());
        Progress progress(kNotifyProgress, n);
        for (int j = 0; j < n; ++j) {
            LogMessage(kLogEntry, u"SendBroadcastGetGroupInfo()\n");
            work.peers->GetGroupInfo(context, Destination(context, units[j]), units[j].macAddress,
                                     flags);
            progress.Post(ProgressPercent(30, 30, j, n));
            if (TakeAbort(context)) {
                return true;
            }
        }
        progress.Post(60);
        if (progress.Posted()) {
            work.peers->PhaseWait(context, kPhaseWaitMs);
        }
    }
    if (TakeAbort(context)) {
        return true;
    }

    // Phase 3: a session to each unit that now has a group.
    const std::vector<DeviceEntry> units = work.table->Snapshot(ForTestPhase3);
    const int n = static_cast<int>(units.size());
    Progress progress(kNotifyProgress, n);
    std::unique_ptr<uint8_t[]> answer(new (std::nothrow) uint8_t[kAnswerRoom]);
    for (int j = 0; j < n; ++j) {
        const DeviceEntry& entry = units[j];
        const UnitTexts texts(entry);
        std::unique_ptr<DeviceEntry> record = NewRecord(entry);
        if (record) {
            if (!work.peers->TestConnection(flags, texts.mac, texts.address)) {
                record->status = kStatusFailedTest;
            } else {
                uint32_t room = kAnswerRoom;
                if (IsNewUnit(entry) && answer &&
                    work.peers->QueryState(flags, texts.mac, texts.address, 0,
                                           kTagPackageAttributes, &room, answer.get())) {
                    DecodePackageAttributes(answer.get(), std::min(room, kAnswerRoom), *record);
                }
                record->status = kStatusTested;
            }
            if (PostRecord(kNotifyUnitResult, std::move(record))) {
                progress.Post(ProgressPercent(60, 40, j, n));
            }
        }
        if (TakeAbort(context)) {
            return true;
        }
    }
    return false;
}

bool UpgradeUnits(const PassWork& work) {
    ThreadContext& context = *work.context;
    const uint8_t flags = PassFlagsByte(context);
    const PassSettings settings = work.settings ? work.settings->Get() : PassSettings{};
    CommandText command;
    const bool haveText =
        BuildUpgradeCommandText(settings, context.bootloaderFlag.load() != 0, command);

    const std::vector<DeviceEntry> units = work.table->Snapshot(ForUpgrade);
    const int n = static_cast<int>(units.size());
    Progress progress(kNotifyProgress, n);
    for (int j = 0; j < n; ++j) {
        const DeviceEntry& entry = units[j];
        const UnitTexts texts(entry);
        std::unique_ptr<DeviceEntry> record = NewRecord(entry);
        if (record) {
            char unitCommand[kUnitCommandRoom];
            const int length = haveText ? ComposeUnitCommand(command, settings.option,
                                                             IsNewUnit(entry), unitCommand)
                                        : -1;
            const bool upgraded =
                length >= 0 && work.peers->SecureSendCommand(
                                   flags, texts.mac, texts.address, entry.groupName,
                                   entry.groupPassword, static_cast<uint32_t>(length) + 1,
                                   reinterpret_cast<const uint8_t*>(unitCommand));
            record->status = upgraded ? kStatusUpgraded : kStatusFailedUpgrade;
            if (PostRecord(kNotifyUnitResult, std::move(record))) {
                progress.Post(ProgressPercent(0, 100, j, n));
            }
        }
        if (TakeAbort(context)) {
            return true;
        }
    }
    return false;
}

void RefreshSecondaries(const PassWork& work, const DeviceEntry& entry, uint8_t flags,
                        uint8_t* list, uint8_t* answer, DeviceEntry& record) {
    const UnitTexts texts(entry);
    uint32_t listLength = kAnswerRoom;
    int count = 0;
    if (list && work.peers->QueryState(flags, texts.mac, texts.address, 0, kTagSecondaryList,
                                       &listLength, list)) {
        count = SecondaryCount(std::min(listLength, kAnswerRoom));
    }
    record.secondaryCount = static_cast<uint8_t>(count);
    for (int i = 0; i < count; ++i) {
        SecondaryEntry& secondary = record.secondaries[i];
        const uint32_t id = SecondaryId(list, i);
        secondary.id = id;
        if (!answer) {
            continue;
        }
        uint32_t room = kAnswerRoom;
        if (work.peers->QueryState(flags, texts.mac, texts.address, id, kTagSecondaryVersions,
                                   &room, answer)) {
            DecodeSecondaryVersions(answer, std::min(room, kAnswerRoom), secondary);
        }
        room = kAnswerRoom;
        if (work.peers->QueryState(flags, texts.mac, texts.address, id, kTagSecondaryModel, &room,
                                   answer)) {
            DecodeSecondaryModel(answer, std::min(room, kAnswerRoom), secondary);
        }
        room = kAnswerRoom;
        if (work.peers->QueryConfig(flags, texts.mac, texts.address, id, &room, answer)) {
            DecodeSecondaryName(answer, std::min(room, kAnswerRoom), secondary);
        }
    }
    record.secondaryState = count > 0 ? kSecondaryTested : kSecondaryPresent;
}

bool RefreshUnits(const PassWork& work) {
    ThreadContext& context = *work.context;
    const uint8_t flags = PassFlagsByte(context);
    const std::vector<DeviceEntry> units = work.table->Snapshot(ForSecondariesRefresh);
    const int n = static_cast<int>(units.size());
    Progress progress(kNotifyRefreshProgress, n);
    std::unique_ptr<uint8_t[]> list(new (std::nothrow) uint8_t[kAnswerRoom]);
    std::unique_ptr<uint8_t[]> answer(new (std::nothrow) uint8_t[kAnswerRoom]);
    for (int j = 0; j < n; ++j) {
        std::unique_ptr<DeviceEntry> record = NewRecord(units[j]);
        if (record) {
            RefreshSecondaries(work, units[j], flags, list.get(), answer.get(), *record);
            PostRecord(kNotifySecondaries, std::move(record));
        }
        progress.Post(ProgressPercent(0, 100, j + 1, n));
        if (TakeAbort(context)) {
            return true;
        }
    }
    return false;
}

bool UpgradeSecondaryUnits(const PassWork& work) {
    ThreadContext& context = *work.context;
    const uint8_t flags = PassFlagsByte(context);
    const PassSettings settings = work.settings ? work.settings->Get() : PassSettings{};
    uint8_t data[kSecondariesDataRoom];
    const size_t dataLength =
        SecondariesUpgradeData(settings.option, context.bootloaderFlag.load() != 0, data);

    const std::vector<DeviceEntry> units = work.table->Snapshot(ForSecondariesUpgrade);
    const int n = static_cast<int>(units.size());
    Progress progress(kNotifySecondaryProgress, n);
    int done = 0;
    for (int j = 0; j < n; ++j) {
        std::unique_ptr<DeviceEntry> record = NewRecord(units[j]);
        if (record) {
            const UnitTexts texts(units[j]);
            const bool upgraded = work.peers->SendCommand(flags, texts.mac, texts.address,
                                                          static_cast<uint32_t>(dataLength), data);
            record->secondaryState = upgraded ? kSecondaryUpgraded : kSecondaryFailed;
            ++done;
            if (PostRecord(kNotifySecondaryState, std::move(record))) {
                progress.Post(ProgressPercent(0, 100, done, n));
            }
        } else {
            progress.Post(ProgressPercent(0, 100, done, n));
        }
        if (TakeAbort(context)) {
            return true;
        }
    }
    return false;
}

} // namespace

int ProgressPercent(int base, int span, int done, int count) {
    if (count <= 0) {
        return std::clamp(base, 0, 100);
    }
    const long long value = base + static_cast<long long>(span) * done / count;
    return static_cast<int>(std::clamp<long long>(value, 0, 100));
}

uint8_t PassFlagsByte(const ThreadContext& context) {
    return static_cast<uint8_t>(0x2C | (context.cipherMode & 3));
}

void UnitMacText(const uint8_t mac[6], char16_t (&out)[18]) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    for (int i = 0; i < 6; ++i) {
        out[i * 3] = kHex[mac[i] >> 4];
        out[i * 3 + 1] = kHex[mac[i] & 0x0F];
        out[i * 3 + 2] = i < 5 ? u':' : u'\0';
    }
}

void UnitAddressText(const uint8_t ip[4], char16_t (&out)[16]) {
    size_t at = 0;
    for (int i = 0; i < 4; ++i) {
        char16_t digits[3];
        int count = 0;
        unsigned value = ip[i];
        do {
            digits[count++] = static_cast<char16_t>(u'0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (count > 0) {
            out[at++] = digits[--count];
        }
        if (i < 3) {
            out[at++] = u'.';
        }
    }
    out[at] = u'\0';
}

bool TakeAbort(ThreadContext& context) {
    return (JobFlagClear(context, kJobAbort) & kJobAbort) != 0;
}

void CancelPendingJobs(ThreadContext& context) {
    const bool test = (JobFlagClear(context, kJobTestPass) & kJobTestPass) != 0;
    const bool upgrade = (JobFlagClear(context, kJobUpgradePass) & kJobUpgradePass) != 0;
    if (upgrade) {
        context.bootloaderFlag.store(0);
    }
    if (test) {
        PostNotice(kNotifyTestEnded, kPassEnded);
    }
    if (upgrade) {
        PostNotice(kNotifyProgress, kPassEnded);
    }
}

void RunTestPass(const PassWork& work) {
    EndPass(*work.context, kNotifyTestEnded, TestPhases(work), false);
}

void RunUpgradePass(const PassWork& work) {
    EndPass(*work.context, kNotifyProgress, UpgradeUnits(work), true);
}

void RunSecondariesRefresh(const PassWork& work) {
    EndPass(*work.context, kNotifyRefreshProgress, RefreshUnits(work), false);
}

void RunSecondariesUpgrade(const PassWork& work) {
    EndPass(*work.context, kNotifySecondaryProgress, UpgradeSecondaryUnits(work), true);
}
