// The NAT port-mapping exports. They write netsh scripts and batch files into the
// temporary directory, run the batch files through the command interpreter and read the
// listings back; every file an export makes is gone when it returns.
#include "tessaly/adapter_source.h"
#include "tessaly/batch_runner.h"
#include "tessaly/library_state.h"
#include "tessaly/nat_listing.h"
#include "tessaly/nat_mapping.h"
#include "tessaly/nat_script.h"
#include "tessaly/temp_files.h"
#include "tessaly/tessaly_api.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

using tessaly::MappingObject;

// Handles are the objects' addresses. Live objects are also kept here, so a closed or
// foreign handle is refused without its memory being read.
class LiveObjects {
  public:
    void Add(MappingObject* object) {
        std::lock_guard<std::mutex> lock(mutex_);
        objects_.insert(object);
    }
    // The object when the handle is a live mapping object.
    MappingObject* Find(TessalyHandle handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto* object = static_cast<MappingObject*>(handle);
        if (!object || objects_.count(object) == 0 || object->magic != tessaly::kMappingMagic) {
            return nullptr;
        }
        return object;
    }
    // Takes the object out; false when it was not live.
    bool Take(TessalyHandle handle) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto* object = static_cast<MappingObject*>(handle);
        if (!object || objects_.erase(object) == 0 || object->magic != tessaly::kMappingMagic) {
            return false;
        }
        return true;
    }

  private:
    std::mutex mutex_;
    std::unordered_set<MappingObject*> objects_;
};

LiveObjects& TheLiveObjects() {
    static LiveObjects* objects = new LiveObjects; // outlives every client's last call
    return *objects;
}

void CopyUnits(char16_t* field, size_t units, const char16_t* text) {
    size_t n = 0;
    while (n + 1 < units && text[n]) {
        field[n] = text[n];
        ++n;
    }
    field[n] = 0;
}

// UTF-16 path to this system's narrow text (UTF-8); nothing for an unpaired surrogate.
std::optional<std::string> NarrowPath(const uint16_t* path) {
    constexpr size_t kMostUnits = 32768;
    std::string narrow;
    for (size_t i = 0; path[i]; ++i) {
        if (i >= kMostUnits) {
            return std::nullopt;
        }
        char32_t code = path[i];
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (path[i + 1] < 0xDC00 || path[i + 1] > 0xDFFF) {
                return std::nullopt;
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (path[i + 1] - 0xDC00u);
            ++i;
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return std::nullopt;
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
    return narrow;
}

// Writes a batch file or script with CR LF line ends.
bool WriteScriptFile(const std::string& path, const std::string& text) {
    return tessaly::WriteWholeFile(path, tessaly::WithCrLf(text));
}

int16_t RunBatch(const std::string& path) {
    return tessaly::RunBatchFile(path) ? TESSALY_OK : TESSALY_START_FAILED;
}

// Installs NAT through a script and batch file of a second temporary set.
int16_t InstallNat() {
    tessaly::TempFiles files;
    if (!files.Make()) {
        return TESSALY_NO_FILE;
    }
    const std::optional<std::string> script = tessaly::BatchPath(files.Base());
    if (!script || !WriteScriptFile(files.Base(), tessaly::InstallScript()) ||
        !WriteScriptFile(files.Bat(), tessaly::ScriptBatch(*script))) {
        return TESSALY_NO_FILE;
    }
    return RunBatch(files.Bat());
}

int16_t Status(const std::string& listingPath, bool install) {
    tessaly::TempFiles files;
    if (!files.Make()) {
        return TESSALY_NO_FILE;
    }
    const std::optional<std::string> listing = tessaly::BatchPath(listingPath);
    if (!listing || !WriteScriptFile(files.Bat(), tessaly::ListingBatch(*listing))) {
        return TESSALY_NO_FILE;
    }
    bool installTried = false;
    for (;;) {
        if (int16_t result = RunBatch(files.Bat()); result != TESSALY_OK) {
            return result;
        }
        std::string text;
        if (!tessaly::ReadWholeFile(listingPath, text)) {
            return TESSALY_NO_FILE;
        }
        if (!tessaly::ListingSaysNatMissing(text)) {
            return TESSALY_OK;
        }
        if (!install || installTried) {
            return TESSALY_NAT_MISSING;
        }
        installTried = true;
        if (int16_t result = InstallNat(); result != TESSALY_OK) {
            return result;
        }
    }
}

int16_t Execute(MappingObject& object) {
    tessaly::TempFiles files;
    if (!files.Make()) {
        return TESSALY_NO_FILE;
    }
    if (int16_t result = Status(files.Sav(), false); result < 0) {
        return result;
    }
    std::string listing;
    if (!tessaly::ReadWholeFile(files.Sav(), listing)) {
        return TESSALY_NO_FILE;
    }
    // Each run rebuilds the kept part from the current configuration.
    object.interfaces.count = 0;
    object.savedRules.count = 0;
    if (int16_t result = tessaly::ParseListing(listing, object); result != TESSALY_OK) {
        return result;
    }
    const std::optional<std::string> script = tessaly::BatchPath(files.Base());
    const std::optional<std::string> output = tessaly::BatchPath(files.Out());
    if (!script || !output || !WriteScriptFile(files.Base(), tessaly::ExecuteScript(object)) ||
        !WriteScriptFile(files.Bat(), tessaly::ExecuteBatch(*script, *output))) {
        return TESSALY_NO_FILE;
    }
    return RunBatch(files.Bat());
}

int16_t Refresh() {
    tessaly::TempFiles files;
    if (!files.Make()) {
        return TESSALY_NO_FILE;
    }
    const std::optional<std::string> base = tessaly::BatchPath(files.Base());
    if (!base || !WriteScriptFile(files.Bat(), tessaly::RefreshBatch(*base))) {
        return TESSALY_NO_FILE;
    }
    return RunBatch(files.Bat());
}

void FillSide(const tessaly::Adapter& adapter, char* name, char16_t* description,
              char16_t* friendlyName, char* friendlyAnsi, uint8_t* mac, uint8_t* ipv4) {
    tessaly::CopyText(name, TESSALY_ADAPTER_NAME_SIZE, adapter.name);
    CopyUnits(description, TESSALY_DESCRIPTION_UNITS, adapter.description);
    CopyUnits(friendlyName, TESSALY_FRIENDLY_NAME_UNITS, adapter.friendlyName);
    tessaly::CopyText(friendlyAnsi, TESSALY_FRIENDLY_ANSI_SIZE, adapter.friendlyNameAnsi);
    std::memcpy(mac, adapter.mac, sizeof adapter.mac);
    std::memcpy(ipv4, adapter.ipv4, sizeof adapter.ipv4);
}

MappingObject* Open(const uint8_t* publicMac, const uint8_t* privateMac, uint16_t usePublicAddress,
                    uint16_t range1Low, uint16_t range1High, uint16_t range2Low,
                    uint16_t range2High) {
    tessaly::PlatformQueries queries{};
    if (!tessaly::InitialisedQueries(queries) || !publicMac || !privateMac ||
        range1Low >= range1High || range2Low >= range2High) {
        return nullptr;
    }
    std::vector<tessaly::Adapter> adapters;
    if (queries.adapters(adapters) != tessaly::QueryResult::Ok) {
        return nullptr;
    }
    const tessaly::Adapter* publicAdapter = nullptr;
    const tessaly::Adapter* privateAdapter = nullptr;
    for (const tessaly::Adapter& adapter : adapters) {
        if (!tessaly::IsListed(adapter)) {
            continue;
        }
        if (!publicAdapter && std::memcmp(adapter.mac, publicMac, 6) == 0) {
            publicAdapter = &adapter;
        }
        if (!privateAdapter && std::memcmp(adapter.mac, privateMac, 6) == 0) {
            privateAdapter = &adapter;
        }
        if (publicAdapter && privateAdapter) {
            break;
        }
    }
    if (!publicAdapter || !privateAdapter) {
        return nullptr;
    }
    auto* object = static_cast<MappingObject*>(std::calloc(1, sizeof(MappingObject)));
    if (!object) {
        return nullptr;
    }
    object->usePublicAddress = usePublicAddress;
    object->magic = tessaly::kMappingMagic;
    FillSide(*publicAdapter, object->publicAdapterName, object->publicDescription,
             object->publicFriendlyName, object->publicFriendlyAnsi, object->publicMac,
             object->publicIpv4);
    FillSide(*privateAdapter, object->privateAdapterName, object->privateDescription,
             object->privateFriendlyName, object->privateFriendlyAnsi, object->privateMac,
             object->privateIpv4);
    object->range1Low = range1Low;
    object->range1High = range1High;
    object->range2Low = range2Low;
    object->range2High = range2High;
    TheLiveObjects().Add(object);
    return object;
}

void Destroy(MappingObject* object) {
    tessaly::Release(object->interfaces);
    tessaly::Release(object->savedRules);
    tessaly::Release(object->newRules);
    object->magic = 0;
    std::free(object);
}

} // namespace

extern "C" {

TessalyHandle TessalyOpen(const uint8_t publicMac[6], const uint8_t privateMac[6],
                          uint16_t usePublicAddress, uint16_t range1Low, uint16_t range1High,
                          uint16_t range2Low, uint16_t range2High) {
    try {
        return Open(publicMac, privateMac, usePublicAddress, range1Low, range1High, range2Low,
                    range2High);
    } catch (...) {
        return nullptr;
    }
}

int16_t TessalyClose(TessalyHandle handle) {
    if (!TheLiveObjects().Take(handle)) {
        return TESSALY_BAD_HANDLE;
    }
    Destroy(static_cast<MappingObject*>(handle));
    return TESSALY_OK;
}

int16_t TessalyAdd(TessalyHandle handle, uint16_t publicPort, const uint8_t privateAddress[4],
                   uint16_t privatePort, uint8_t protocols) {
    MappingObject* object = TheLiveObjects().Find(handle);
    if (!object || !privateAddress) {
        return TESSALY_BAD_HANDLE;
    }
    if (tessaly::PortOutsideRanges(*object, publicPort)) {
        return TESSALY_PORT_OUTSIDE;
    }
    tessaly::RuleItem rule{};
    tessaly::CopyText(rule.interfaceName, sizeof rule.interfaceName, object->publicFriendlyAnsi);
    rule.publicPort = publicPort;
    rule.privatePort = privatePort;
    if (object->usePublicAddress) {
        std::memcpy(rule.publicAddress, object->publicIpv4, 4);
    }
    std::memcpy(rule.privateAddress, privateAddress, 4);
    rule.protocols = protocols;
    return tessaly::Append(object->newRules, rule, tessaly::kRuleListStep);
}

int16_t TessalyExecute(TessalyHandle handle) {
    MappingObject* object = TheLiveObjects().Find(handle);
    if (!object) {
        return TESSALY_BAD_HANDLE;
    }
    try {
        return Execute(*object);
    } catch (const std::bad_alloc&) {
        return TESSALY_OUT_OF_MEMORY;
    } catch (...) {
        return TESSALY_NO_FILE;
    }
}

int16_t TessalyStatus(const uint16_t* listingPath, int16_t install) {
    try {
        const std::optional<std::string> path =
            listingPath ? NarrowPath(listingPath) : std::nullopt;
        if (!path || path->empty()) {
            return TESSALY_NO_FILE;
        }
        return Status(*path, install != 0);
    } catch (const std::bad_alloc&) {
        return TESSALY_OUT_OF_MEMORY;
    } catch (...) {
        return TESSALY_NO_FILE;
    }
}

int16_t TessalyRefresh(void) {
    try {
        return Refresh();
    } catch (const std::bad_alloc&) {
        return TESSALY_OUT_OF_MEMORY;
    } catch (...) {
        return TESSALY_NO_FILE;
    }
}

} // extern "C"
