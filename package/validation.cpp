#include "package/validation.h"

#include "package/package_flags.h"
#include "package/text_file.h"

namespace {

struct Member {
    PackageFormat format;
    const char16_t* name;
    uint8_t bit;
};

constexpr Member kMembers[] = {
    {PackageFormat::Bootloader, u"tevbootloader.bin", kContentsBootloader},
    {PackageFormat::V1, u"tevkernel.bin", kContentsKernel},
    {PackageFormat::V1, u"tevfs.bin", kContentsFileSystem},
    {PackageFormat::V1, u"tevbs.bin", 0},
    {PackageFormat::V1, u"tevpatch.bin", kContentsPatch},
    {PackageFormat::V2, u"tevkernel2.bin", kContentsKernel},
    {PackageFormat::V2, u"tevfs2.bin", kContentsFileSystem},
    {PackageFormat::V2, u"tevbs.bin", 0},
    {PackageFormat::V2, u"tevpatch.bin", kContentsPatch},
    {PackageFormat::V3, u"tevkernel3.bin", kContentsKernel},
    {PackageFormat::V3, u"tevfs3.bin", kContentsFileSystem},
    {PackageFormat::V3, u"tevbs3.bin", 0},
    {PackageFormat::V3, u"tevuboot3.bin", 0},
    {PackageFormat::V3, u"tevdtb3.bin", kContentsDeviceTree},
    {PackageFormat::V3, u"tevat.bin", 0},
};

bool StartsWith(const std::u16string& text, std::u16string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Decimal digits after optional blanks; stops at the first other character.
uint32_t ReadDecimal(const std::u16string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + static_cast<uint64_t>(text[i] - u'0');
        if (value > 0xFFFFFFFFu) {
            return 0xFFFFFFFFu;
        }
    }
    return static_cast<uint32_t>(value);
}

std::u16string Decimal(uint32_t value) {
    std::u16string result;
    do {
        result.insert(result.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value != 0);
    return result;
}

} // namespace

NoteResult CheckNoteLines(const std::vector<std::u16string>& lines, bool isBootloader) {
    NoteResult result;
    if (lines.empty()) {
        result.error = u"invalid note in package";
        return result;
    }
    const std::u16string& line = lines[0];
    if (isBootloader && (line.size() < 30 || !StartsWith(line, u"tevblpack-"))) {
        result.error = u"bad note(1) in package";
        return result;
    }
    PackageIsV3.store(false, std::memory_order_relaxed);
    if (isBootloader) {
        result.format = PackageFormat::Bootloader;
    } else if (line.size() >= 28 && StartsWith(line, u"tevpack-")) {
        result.format = PackageFormat::V1;
    } else if (line.size() >= 29 && StartsWith(line, u"tevpack2-")) {
        result.format = PackageFormat::V2;
    } else if (line.size() >= 29 && StartsWith(line, u"tevpack3-")) {
        result.format = PackageFormat::V3;
        PackageIsV3.store(true, std::memory_order_relaxed);
    } else {
        result.error = u"bad note - not in V1, V2 or V3 file name format";
        return result;
    }
    // Single-byte text: characters outside ASCII become '?'.
    for (size_t i = 0; i < line.size() && i < kMaxPasswordInput; ++i) {
        result.passwordInput += line[i] < 0x80 ? static_cast<char>(line[i]) : '?';
    }
    while (!result.passwordInput.empty() &&
           (result.passwordInput.back() == '\r' || result.passwordInput.back() == '\n')) {
        result.passwordInput.pop_back();
    }
    if (!isBootloader) {
        std::u16string field = line.substr(result.format == PackageFormat::V1 ? 20 : 21);
        const size_t dot = field.rfind(u'.');
        if (dot != std::u16string::npos) {
            field.resize(dot);
        }
        result.revision = ReadDecimal(field);
        if (result.revision == 0) {
            result.error = result.format == PackageFormat::V1
                               ? u"bad rev number in V1 package's note"
                               : u"bad rev number in V2 or V3 package's note";
        }
    }
    return result;
}

NoteResult CheckNoteFile(const std::u16string& path, bool isBootloader) {
    const auto lines = ReadTextLines(path);
    if (!lines) {
        NoteResult result;
        result.error = u"Failed to get note in package";
        return result;
    }
    return CheckNoteLines(*lines, isBootloader);
}

std::u16string CheckMemberLines(const std::vector<std::u16string>& lines, PackageFormat format,
                                uint8_t* contentsMask) {
    for (const std::u16string& line : lines) {
        bool matched = false;
        for (const Member& member : kMembers) {
            if (member.format == format && StartsWith(line, member.name)) {
                *contentsMask =
                    static_cast<uint8_t>((*contentsMask | member.bit) & ~kContentsNothingYet);
                matched = true;
                break;
            }
        }
        if (!matched) {
            switch (format) {
            case PackageFormat::Bootloader:
                return u"bad file in V1 Boot Loader package";
            case PackageFormat::V1:
                return u"bad file in V1 package";
            case PackageFormat::V2:
                return u"bad file in V2 package";
            default:
                return u"bad file in V3 package";
            }
        }
    }
    return {};
}

std::u16string CheckFileListFile(const std::u16string& path, PackageFormat format,
                                 uint8_t* contentsMask) {
    const auto lines = ReadTextLines(path);
    if (!lines) {
        return u"Failed to get list of files in package";
    }
    return CheckMemberLines(*lines, format, contentsMask);
}

std::vector<std::pair<PackageField, std::u16string>>
ResultFieldTexts(bool isBootloader, bool failed, uint32_t revision, uint8_t contentsMask) {
    const std::u16string none = u"n/a";
    const bool found = !failed && revision != 0 && (contentsMask & kContentsNothingYet) == 0;
    if (isBootloader) {
        const bool shown = found && (contentsMask & kContentsBootloader) != 0;
        return {{PackageField::Bootloader, shown ? Decimal(revision) : none}};
    }
    const std::u16string version =
        Decimal((revision >> 8) & 0xFF) + u"." + Decimal(revision & 0xFF);
    auto field = [&](uint8_t bit) { return found && (contentsMask & bit) != 0 ? version : none; };
    std::vector<std::pair<PackageField, std::u16string>> texts = {
        {PackageField::Kernel, field(kContentsKernel)},
        {PackageField::FileSystem, field(kContentsFileSystem)},
        {PackageField::Patch, field(kContentsPatch)},
    };
    if (found) {
        texts.push_back({PackageField::Revision, Decimal(revision)});
    }
    return texts;
}
