// A fake netsh first on PATH, and a recording wrapper around the command interpreter, for
// the mapping exports. The fake records every call and every script it is given and
// prints listings from the files the test puts into it (with CR LF ends, as netsh does).
// A script holding an "install" line makes the listing-after-install the listing.
#pragma once

#include <string>
#include <vector>

namespace nattest {

class FakeNetsh {
  public:
    FakeNetsh();
    ~FakeNetsh();
    FakeNetsh(const FakeNetsh&) = delete;
    FakeNetsh& operator=(const FakeNetsh&) = delete;

    // What "routing ip nat show interface" prints, what it prints once a script installed
    // NAT, and what "routing ip nat dump" prints (each a fixture file's name or a text).
    void SetListing(const std::string& text);
    void SetListingAfterInstall(const std::string& text);
    void SetDump(const std::string& text);

    // The arguments of every netsh call, in order ("-f PATH" for scripts).
    std::vector<std::string> Calls() const;
    // The script netsh got with call `call` (1-based).
    std::string ScriptOfCall(size_t call) const;
    // The batch files the interpreter was started on: their paths and texts, in order.
    std::vector<std::string> BatchPaths() const;
    std::string BatchText(size_t index) const;

    // Names of the files in the temporary directory.
    std::vector<std::string> TempEntries() const;

    const std::string& Root() const { return root_; }
    const std::string& TempDir() const { return temp_; }

  private:
    std::string root_;
    std::string temp_;
    std::string log_;
    std::string savedPath_;
    std::string savedTemp_;
    bool hadTemp_ = false;
};

// A fixture file's contents.
std::string Fixture(const std::string& name);
// A file's contents; empty when it cannot be read.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// Lines of a text whose every line must end in CR LF; a line without it is returned with
// the marker "<no CR LF>" so a comparison shows it.
std::vector<std::string> CrLfLines(const std::string& text);
// The same for a text written with "\n" ends.
std::vector<std::string> Lines(const std::string& text);

} // namespace nattest
