#include "upgrade/answers.h"

#include <algorithm>

namespace {

uint32_t Be32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

VersionTriple Triple(const uint8_t* p) {
    return VersionTriple{p[0], p[1], p[2]};
}

template <size_t N> void SetText(char16_t (&out)[N], const char16_t* text) {
    size_t i = 0;
    for (; i + 1 < N && text[i] != u'\0'; ++i) {
        out[i] = text[i];
    }
    out[i] = u'\0';
}

constexpr size_t kPackNameOffset = 13;
constexpr size_t kPackNameKept = 63;
constexpr size_t kModelBytes = 19;
constexpr size_t kNameBytes = 31;

} // namespace

size_t WidenAnswerText(const uint8_t* text, size_t available, char16_t* out, size_t units) {
    size_t length = 0;
    while (length < available && text[length] != 0) {
        ++length;
    }
    if (units == 0) {
        return length;
    }
    const size_t kept = std::min(length, units - 1);
    for (size_t i = 0; i < kept; ++i) {
        out[i] = text[i];
    }
    out[kept] = u'\0';
    return length;
}

bool DecodePackageAttributes(const uint8_t* answer, size_t length, DeviceEntry& record) {
    if (length <= 12) {
        return false;
    }
    record.map = answer[0];
    record.packKernelVersion = Triple(answer + 2);
    record.packFilesysVersion = Triple(answer + 6);
    record.packPatchVersion = Triple(answer + 10);
    const size_t nameLength =
        WidenAnswerText(answer + kPackNameOffset, length - kPackNameOffset, record.packFilename,
                        std::min<size_t>(kPackNameKept + 1, kPackNameUnits));
    record.blPackRev = 0;
    SetText(record.blPackFilename, u"unknown");
    if (length > nameLength + 18) {
        record.blPackRev = Be32(answer + nameLength + 14);
        WidenAnswerText(answer + nameLength + 18, length - (nameLength + 18), record.blPackFilename,
                        std::min<size_t>(kPackNameKept + 1, kPackNameUnits));
    }
    return true;
}

int SecondaryCount(size_t length) {
    const long count = static_cast<long>(length / 4) - 1;
    return static_cast<int>(std::clamp<long>(count, 0, kMaxSecondaries));
}

uint32_t SecondaryId(const uint8_t* answer, int i) {
    return Be32(answer + 4 + 4 * static_cast<size_t>(i));
}

bool DecodeSecondaryVersions(const uint8_t* answer, size_t length, SecondaryEntry& secondary) {
    if (length < 16) {
        return false;
    }
    secondary.swVersion = Triple(answer);
    secondary.hwRev = answer[4];
    secondary.kernelVersion = Triple(answer + 5);
    secondary.filesysVersion = Triple(answer + 9);
    secondary.patchVersion = Triple(answer + 13);
    secondary.bootloaderRev = length >= 20 ? Be32(answer + 16) : 0;
    return true;
}

bool DecodeSecondaryModel(const uint8_t* answer, size_t length, SecondaryEntry& secondary) {
    if (length < 11) {
        return false;
    }
    WidenAnswerText(answer, std::min(length, kModelBytes), secondary.model, kModelUnits);
    return true;
}

bool DecodeSecondaryName(const uint8_t* answer, size_t length, SecondaryEntry& secondary) {
    if (length < 1) {
        return false;
    }
    WidenAnswerText(answer, std::min(length, kNameBytes), secondary.name, kEntryNameUnits);
    return true;
}
