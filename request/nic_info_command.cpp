#include "request/nic_info_command.h"

#include "protocol/log.h"
#include "request/reply.h"
#include "tessaly/tessaly_api.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr uint16_t kTagUpFlag = 12;
constexpr uint16_t kTagAdapterName = 16;
constexpr uint16_t kTagDescription = 17;
constexpr uint16_t kTagFriendlyName = 13;
constexpr uint16_t kTagMac = 2;
constexpr uint16_t kTagAddress = 3;
constexpr uint16_t kTagMask = 7;

// Room for records of adapters that appear between the count and the listing.
constexpr int kSpareRecords = 16;
constexpr int kReportedUnits = 63;

// A UTF-16 text of the record, cut to 63 units, as UTF-16LE bytes with its zero unit.
struct Utf16Item {
    uint8_t bytes[2 * (kReportedUnits + 1)];
    uint16_t length;

    explicit Utf16Item(const uint16_t* text) : bytes{}, length(0) {
        int n = 0;
        while (n < kReportedUnits && text[n] != 0) {
            bytes[2 * n] = static_cast<uint8_t>(text[n] & 0xFF);
            bytes[2 * n + 1] = static_cast<uint8_t>(text[n] >> 8);
            ++n;
        }
        length = static_cast<uint16_t>(2 * (n + 1));
    }
};

// Adds the items of one interface with index `j`; false as soon as one does not fit.
bool AddInterface(ReplyWriter& reply, const TessalyNic& nic, uint16_t j) {
    char adapterName[kReportedUnits + 1] = {};
    for (int n = 0; n < kReportedUnits && nic.adapterName[n] != '\0'; ++n) {
        adapterName[n] = nic.adapterName[n];
    }
    const Utf16Item description(nic.description);
    const Utf16Item friendlyName(nic.friendlyName);
    const uint8_t* mac = nic.macAddress;
    const uint8_t* ip = nic.ipAddress;
    const uint8_t* mask = nic.subnetMask;

    if (!reply.AddStatus(true, j)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: upflag=%d\n", nic.upFlag);
    if (!reply.Add(kValueByte, kTagUpFlag, 1, j, &nic.upFlag)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: adaptername=[%S]\n", adapterName);
    if (!reply.Add(kValueBytes, kTagAdapterName,
                   static_cast<uint16_t>(std::char_traits<char>::length(adapterName) + 1), j,
                   adapterName)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: description=[%s]\n",
               reinterpret_cast<const char16_t*>(nic.description));
    if (!reply.Add(kValueBytes, kTagDescription, description.length, j, description.bytes)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: FriendlyName=[%s]\n",
               reinterpret_cast<const char16_t*>(nic.friendlyName));
    if (!reply.Add(kValueBytes, kTagFriendlyName, friendlyName.length, j, friendlyName.bytes)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: MACAddr=%x:%x:%x:%x:%x:%x\n", mac[0], mac[1],
               mac[2], mac[3], mac[4], mac[5]);
    if (!reply.Add(kValueBytes, kTagMac, 6, j, mac)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: IPAddr=%d.%d.%d.%d\n", ip[0], ip[1], ip[2], ip[3]);
    if (!reply.Add(kValueBytes, kTagAddress, 4, j, ip)) {
        return false;
    }
    LogMessage(kLogInterfaces, u"caseGetNICInfo: Subnetmask=%d.%d.%d.%d\n", mask[0], mask[1],
               mask[2], mask[3]);
    return reply.Add(kValueBytes, kTagMask, 4, j, mask);
}

} // namespace

void caseGetNICInfo(ThreadContext& context, const UnpackedRequest& request) {
    ProcRequest& frame = context.request;
    const int counted = TessalyGetNICs(nullptr, 0);
    if (counted <= 0) {
        ReplyStatus(frame, false, 0);
        return;
    }
    const int capacity = counted + kSpareRecords;
    std::unique_ptr<TessalyNic[]> records(new (std::nothrow) TessalyNic[capacity]);
    const int listed =
        records ? TessalyGetNICs(records.get(), static_cast<uint16_t>(capacity)) : -1;
    if (listed <= 0) {
        ReplyStatus(frame, false, 0);
        return;
    }
    // More adapters than records may have appeared meanwhile; only the records written
    // can be reported.
    const int available = std::min(listed, capacity);

    int first = 0;
    int last = available - 1;
    if (request.count > 0) {
        const int wanted = request.items[0].tag;
        if (wanted >= available) {
            ReplyStatus(frame, false, 0);
            return;
        }
        first = last = wanted;
    }
    ReplyWriter reply(frame);
    for (int k = first, j = 0; k <= last; ++k, ++j) {
        if (!AddInterface(reply, records[k], static_cast<uint16_t>(j))) {
            break;
        }
    }
    reply.Finish(frame.command);
}
