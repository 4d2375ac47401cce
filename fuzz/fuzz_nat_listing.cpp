// Feeds arbitrary listing text to the NAT listing parser and writes the script from what
// it kept, as TessalyExecute does. Byte 0 picks the public interface's name among names
// that the seed listings use, so mappings are both kept and replaced; byte 1 picks the
// port ranges.
#include "tessaly/listing_reader.h"
#include "tessaly/nat_listing.h"
#include "tessaly/nat_mapping.h"
#include "tessaly/nat_script.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    static const char* const kNames[] = {"Public LAN", "Branch", "Lab", ""};
    auto* object =
        static_cast<tessaly::MappingObject*>(std::calloc(1, sizeof(tessaly::MappingObject)));
    if (!object) {
        return 0;
    }
    object->magic = tessaly::kMappingMagic;
    object->usePublicAddress = data[0] & 0x80;
    tessaly::CopyText(object->publicFriendlyAnsi, sizeof object->publicFriendlyAnsi,
                      kNames[data[0] % std::size(kNames)]);
    tessaly::CopyText(object->privateFriendlyAnsi, sizeof object->privateFriendlyAnsi,
                      "Private LAN");
    object->range1Low = static_cast<uint16_t>(data[1] * 16);
    object->range1High = static_cast<uint16_t>(object->range1Low + 999);
    object->range2Low = 3000;
    object->range2High = 3999;

    const std::string_view listing(reinterpret_cast<const char*>(data + 2), size - 2);
    if (tessaly::ParseListing(listing, *object) == TESSALY_OK) {
        const std::string script = tessaly::ExecuteScript(*object);
        // Every kept line of the script is whole: one per item, and the fixed frame.
        if (script.rfind("pushd routing ip nat\n", 0) != 0 || script.size() < 5 ||
            script.compare(script.size() - 5, 5, "popd\n") != 0) {
            std::abort();
        }
    }
    (void)tessaly::ListingSaysNatMissing(listing);
    tessaly::Release(object->interfaces);
    tessaly::Release(object->savedRules);
    tessaly::Release(object->newRules);
    std::free(object);
    return 0;
}
