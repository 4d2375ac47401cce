// Modal message boxes. Every operator message goes through MessageBox, which shows a
// QMessageBox; tests replace it with an answerer (ScriptedMessageBoxes) so that no test
// ever waits on a modal box.
#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace platform {

// Style bits with the values the Windows message box uses.
enum MessageBoxStyle : uint32_t {
    kMbOk = 0x00,
    kMbYesNo = 0x04,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
};

enum class MessageBoxResult { Ok = 1, Yes = 6, No = 7 };

struct MessageBoxCall {
    QString text;
    QString caption;
    uint32_t style = kMbOk;
};

MessageBoxResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                            uint32_t style = kMbOk);

// Replaces the real box for as long as it lives (one at a time): records every call and
// answers with the next queued answer, or, when none is queued, No for a Yes/No box and
// OK otherwise.
class ScriptedMessageBoxes {
  public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void QueueAnswer(MessageBoxResult answer) { answers_.push_back(answer); }
    const std::vector<MessageBoxCall>& calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }

  private:
    MessageBoxResult Answer(const MessageBoxCall& call);

    std::deque<MessageBoxResult> answers_;
    std::vector<MessageBoxCall> calls_;
};

} // namespace platform
