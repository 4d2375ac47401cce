// Linux side of the adapter queries: getifaddrs for links and addresses, /sys/class/net
// for the link type, operational state and wireless marker, the ethtool ioctl for the
// driver name. Everything follows the caller's network namespace; /sys does so only when
// sysfs was mounted inside it.
#include "tessaly/adapter_source.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <ifaddrs.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {
namespace {

class InterfaceAddresses {
  public:
    InterfaceAddresses() : error_(getifaddrs(&list_) == 0 ? 0 : errno) {}
    ~InterfaceAddresses() {
        if (list_) {
            freeifaddrs(list_);
        }
    }
    InterfaceAddresses(const InterfaceAddresses&) = delete;
    InterfaceAddresses& operator=(const InterfaceAddresses&) = delete;

    const ifaddrs* first() const { return list_; }
    QueryResult status() const {
        if (error_ == 0) {
            return QueryResult::Ok;
        }
        return error_ == ENOMEM ? QueryResult::OutOfMemory : QueryResult::Failed;
    }

  private:
    ifaddrs* list_ = nullptr;
    int error_;
};

std::string SysNetPath(const char* name, const char* leaf) {
    return std::string("/sys/class/net/") + name + "/" + leaf;
}

// The first line of a sysfs attribute, or empty when it cannot be read.
std::string ReadAttribute(const char* name, const char* leaf) {
    std::ifstream file(SysNetPath(name, leaf));
    std::string line;
    if (file) {
        std::getline(file, line);
    }
    return line;
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

constexpr unsigned kArpIp6Gre = 823; // not in glibc's list

uint32_t InterfaceType(const char* name, unsigned hardwareType) {
    const std::string typeText = ReadAttribute(name, "type");
    if (!typeText.empty()) {
        hardwareType = static_cast<unsigned>(std::strtoul(typeText.c_str(), nullptr, 10));
    }
    switch (hardwareType) {
    case ARPHRD_ETHER:
        return PathExists(SysNetPath(name, "wireless")) || PathExists(SysNetPath(name, "phy80211"))
                   ? kIfTypeWireless
                   : kIfTypeEthernet;
    case ARPHRD_LOOPBACK:
        return kIfTypeLoopback;
    case ARPHRD_TUNNEL:
    case ARPHRD_TUNNEL6:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
    case kArpIp6Gre:
    case ARPHRD_NONE: // tun and other point-to-point tunnels without a link layer
        return kIfTypeTunnel;
    default:
        return kIfTypeOther;
    }
}

bool IsUp(const char* name, unsigned flags) {
    const std::string state = ReadAttribute(name, "operstate");
    if (state == "up") {
        return true;
    }
    // Drivers that do not track the carrier report "unknown" while they work.
    return state == "unknown" && (flags & IFF_UP) && (flags & IFF_RUNNING);
}

// Narrow text to UTF-16; malformed sequences become U+FFFD. Always terminated.
void Utf8ToUtf16(const std::string& text, char16_t* out, size_t units) {
    size_t n = 0;
    for (size_t i = 0; i < text.size() && n + 1 < units;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80         ? 0
                    : (lead >> 5) == 6  ? 1
                    : (lead >> 4) == 14 ? 2
                    : (lead >> 3) == 30 ? 3
                                        : -1;
        char32_t code = extra == 0   ? lead
                        : extra == 1 ? (lead & 0x1F)
                        : extra == 2 ? (lead & 0x0F)
                                     : (lead & 0x07);
        bool valid = extra >= 0 && i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        valid = valid && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        i += valid ? static_cast<size_t>(extra) + 1 : 1;
        if (!valid) {
            code = 0xFFFD;
        }
        if (code < 0x10000) {
            out[n++] = static_cast<char16_t>(code);
        } else if (n + 2 < units) {
            code -= 0x10000;
            out[n++] = static_cast<char16_t>(0xD800 + (code >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            break;
        }
    }
    out[n] = 0;
}

// The narrow text of this system is UTF-8; empty when it does not fit with its zero.
void Utf16ToNarrow(const char16_t* text, char* out, size_t size) {
    std::string narrow;
    for (size_t i = 0; text[i]; ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            narrow += static_cast<char>(code);
        } else if (code < 0x800) {
            narrow += static_cast<char>(0xC0 | (code >> 6));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            narrow += static_cast<char>(0xE0 | (code >> 12));
            narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | (code >> 18));
            narrow += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            narrow += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            narrow += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    std::memset(out, 0, size);
    if (narrow.size() < size) {
        std::memcpy(out, narrow.data(), narrow.size());
    }
}

// The driver's name ("veth", "e1000e", ...), or empty when the driver does not say.
std::string DriverName(const char* name) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return {};
    }
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq request{};
    std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
    request.ifr_data = reinterpret_cast<char*>(&info);
    const bool ok = ioctl(fd, SIOCETHTOOL, &request) == 0;
    close(fd);
    return ok ? std::string(info.driver, strnlen(info.driver, sizeof info.driver)) : std::string();
}

// An IPv4 entry belongs to a link by its name or by a label "name:tag".
bool BelongsTo(const char* entryName, const char* linkName) {
    const size_t length = std::strlen(linkName);
    return std::strncmp(entryName, linkName, length) == 0 &&
           (entryName[length] == '\0' || entryName[length] == ':');
}

void CopyIpv4(const sockaddr* address, uint8_t (&out)[4]) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    std::memcpy(out, &in->sin_addr.s_addr, 4); // network order is first octet first
}

Adapter DescribeLink(const ifaddrs& link, const ifaddrs* all) {
    Adapter adapter{};
    const auto* hardware = reinterpret_cast<const sockaddr_ll*>(link.ifa_addr);
    std::strncpy(adapter.name, link.ifa_name, sizeof adapter.name - 1);
    adapter.ifType = InterfaceType(link.ifa_name, hardware->sll_hatype);
    adapter.up = IsUp(link.ifa_name, link.ifa_flags);
    std::memcpy(adapter.mac, hardware->sll_addr, hardware->sll_halen < 6 ? hardware->sll_halen : 6);

    const std::string driver = DriverName(link.ifa_name);
    Utf8ToUtf16(driver.empty() ? std::string(link.ifa_name) : driver, adapter.description,
                TESSALY_DESCRIPTION_UNITS);
    // The alias an administrator gave the link is its friendly name.
    const std::string alias = ReadAttribute(link.ifa_name, "ifalias");
    Utf8ToUtf16(alias.empty() ? std::string(link.ifa_name) : alias, adapter.friendlyName,
                TESSALY_FRIENDLY_NAME_UNITS);
    Utf16ToNarrow(adapter.friendlyName, adapter.friendlyNameAnsi, TESSALY_FRIENDLY_ANSI_SIZE);

    for (const ifaddrs* entry = all; entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET &&
            BelongsTo(entry->ifa_name, link.ifa_name)) {
            CopyIpv4(entry->ifa_addr, adapter.ipv4);
            break;
        }
    }
    return adapter;
}

QueryResult QueryLinuxAdapters(std::vector<Adapter>& adapters) {
    adapters.clear();
    InterfaceAddresses list;
    if (list.status() != QueryResult::Ok) {
        return list.status();
    }
    // One AF_PACKET entry per link, in interface-index order.
    for (const ifaddrs* entry = list.first(); entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_PACKET) {
            adapters.push_back(DescribeLink(*entry, list.first()));
        }
    }
    return QueryResult::Ok;
}

QueryResult QueryLinuxAddressTable(std::vector<AddressRow>& rows) {
    rows.clear();
    InterfaceAddresses list;
    if (list.status() != QueryResult::Ok) {
        return list.status();
    }
    for (const ifaddrs* entry = list.first(); entry; entry = entry->ifa_next) {
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET && entry->ifa_netmask) {
            AddressRow row{};
            CopyIpv4(entry->ifa_addr, row.address);
            CopyIpv4(entry->ifa_netmask, row.mask);
            rows.push_back(row);
        }
    }
    return QueryResult::Ok;
}

} // namespace

// Nothing to load or start here: both queries are part of the C library.
bool OpenPlatform(PlatformQueries& queries) {
    queries.adapters = QueryLinuxAdapters;
    queries.addressTable = QueryLinuxAddressTable;
    return true;
}

void ClosePlatform() {}

} // namespace tessaly
