// Progress on standard error: a bar redrawn in place when standard error is a terminal,
// plain lines otherwise (one per change of the percentage), so logs stay readable.
#pragma once

#include <cstdio>
#include <string>

namespace cli {

class ProgressReporter {
  public:
    ProgressReporter(std::FILE* stream, bool terminal) : stream_(stream), terminal_(terminal) {}
    // A step of the run without a percentage ("search: 50 units").
    void Note(const std::string& text);
    // A pass starts, runs and ends.
    void Begin(const std::string& stage);
    void Percent(int percent);
    void End();

  private:
    std::FILE* stream_;
    bool terminal_;
    std::string stage_;
    int last_ = -1;
};

} // namespace cli
