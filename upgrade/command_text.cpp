#include "upgrade/command_text.h"

#include <cstring>

namespace {

// Appends narrow text to a bounded buffer; false once it no longer fits.
class TextWriter {
  public:
    explicit TextWriter(CommandText& out) : out_(out) {
        out_.length = 0;
        out_.text[0] = '\0';
    }
    bool Narrow(const char* text) {
        for (; *text != '\0'; ++text) {
            if (!Put(*text)) {
                return false;
            }
        }
        return true;
    }
    // A UTF-16 setting as narrow text: units outside ASCII have no narrow form here and
    // become '?', as the system's narrowing does for characters it cannot map.
    template <size_t N> bool Wide(const char16_t (&text)[N]) {
        for (size_t i = 0; i < N && text[i] != u'\0'; ++i) {
            if (!Put(text[i] < 0x80 ? static_cast<char>(text[i]) : '?')) {
                return false;
            }
        }
        return true;
    }

  private:
    bool Put(char c) {
        if (out_.length >= kCommandTextLimit) {
            return false;
        }
        out_.text[out_.length++] = c;
        out_.text[out_.length] = '\0';
        return true;
    }
    CommandText& out_;
};

} // namespace

bool BuildUpgradeCommandText(const PassSettings& settings, bool bootloader, CommandText& out) {
    TextWriter w(out);
    const bool testOnly = (settings.method & kMethodTestOnly) != 0;
    bool ok = false;
    switch (settings.method & 0x7F) {
    case kMethodUsb:
        ok = w.Narrow(testOnly ? "testonly usb" : "usb");
        break;
    case kMethodTftp:
        ok = w.Narrow(testOnly ? "testonly tftp " : "tftp ") && w.Wide(settings.tftpServer) &&
             w.Narrow(" ") &&
             (!testOnly && bootloader ? w.Wide(settings.bootloaderFile) : w.Wide(settings.file));
        break;
    case kMethodUrl:
        ok = w.Narrow(testOnly ? "testonly url " : "url ") &&
             (!testOnly && bootloader ? w.Wide(settings.bootloaderUrl) : w.Wide(settings.url));
        break;
    default:
        break;
    }
    if (!ok) {
        out.length = 0;
        out.text[0] = '\0';
    }
    return ok;
}

const char* OptionWord(uint8_t option) {
    switch (option) {
    case kOptionNone:
        return "";
    case kOptionNotEqual:
        return "noteq";
    case kOptionForce:
        return "force";
    default:
        return nullptr;
    }
}

int ComposeUnitCommand(const CommandText& command, uint8_t option, bool newUnit,
                       char (&out)[kUnitCommandRoom]) {
    out[0] = '\0';
    size_t length = 0;
    auto append = [&](const char* text, size_t n) {
        if (length + n + 1 > kUnitCommandRoom) {
            return false;
        }
        std::memcpy(out + length, text, n);
        length += n;
        out[length] = '\0';
        return true;
    };
    const char* word = OptionWord(option);
    if (word == nullptr) {
        return -1;
    }
    if (newUnit) {
        if (!append(word, std::strlen(word)) || !append(" ", 1)) {
            out[0] = '\0';
            return -1;
        }
    }
    if (!append(command.text, command.length)) {
        out[0] = '\0';
        return -1;
    }
    return static_cast<int>(length);
}

size_t SecondariesUpgradeData(uint8_t option, bool bootloader,
                              uint8_t (&out)[kSecondariesDataRoom]) {
    out[0] = 0x95;
    out[1] = 0x13;
    out[2] = 0x24;
    out[3] = 0x08;
    out[4] = option;
    out[5] = 0x01;
    return bootloader ? 6 : 5;
}
