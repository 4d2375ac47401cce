// Temporary files over mkstemp and O_EXCL.
#include "tessaly/temp_files.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace tessaly {
namespace {

constexpr const char* kDerivedSuffixes[] = {".sav", ".bat", ".out"};
constexpr int kAttempts = 100;

} // namespace

std::string TempDirectory() {
    for (const char* name : {"TEMP", "TMPDIR"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            return value;
        }
    }
    return "/tmp";
}

TempFiles::~TempFiles() {
    Remove();
}

void TempFiles::Remove() {
    if (base_.empty()) {
        return;
    }
    unlink(base_.c_str());
    for (const char* suffix : kDerivedSuffixes) {
        unlink((base_ + suffix).c_str());
    }
    base_.clear();
}

bool TempFiles::Make() {
    Remove();
    const std::string pattern = TempDirectory() + "/pmXXXXXX";
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0) {
            return false;
        }
        close(fd);
        const std::string base(name.data());
        // The derived names are reserved too; when one is taken, the whole set is given
        // back and another base is tried.
        size_t made = 0;
        bool taken = false;
        for (const char* suffix : kDerivedSuffixes) {
            const int derived =
                open((base + suffix).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (derived < 0) {
                taken = errno == EEXIST;
                break;
            }
            close(derived);
            ++made;
        }
        if (made == std::size(kDerivedSuffixes)) {
            base_ = base;
            return true;
        }
        unlink(base.c_str());
        for (size_t i = 0; i < made; ++i) {
            unlink((base + kDerivedSuffixes[i]).c_str());
        }
        if (!taken) {
            return false;
        }
    }
    return false;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            close(fd);
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return close(fd) == 0;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    char chunk[8192];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
    close(fd);
    return true;
}

} // namespace tessaly
