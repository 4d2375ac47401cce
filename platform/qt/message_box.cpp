#include "platform/qt/message_box.h"

#include <QMessageBox>

namespace platform {
namespace {

// The active answerer; touched only on the user-interface thread.
ScriptedMessageBoxes* gScripted = nullptr;
std::function<MessageBoxResult(const MessageBoxCall&)> gAnswer;

QMessageBox::Icon IconOf(uint32_t style) {
    switch (style & 0xF0) {
    case kMbIconError:
        return QMessageBox::Critical;
    case kMbIconQuestion:
        return QMessageBox::Question;
    case kMbIconExclamation:
        return QMessageBox::Warning;
    case kMbIconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

MessageBoxResult ShowReal(QWidget* parent, const MessageBoxCall& call) {
    const bool yesNo = (call.style & 0x0F) == kMbYesNo;
    QMessageBox box(IconOf(call.style), call.caption, call.text,
                    yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    const int answer = box.exec();
    if (!yesNo) {
        return MessageBoxResult::Ok;
    }
    return answer == QMessageBox::Yes ? MessageBoxResult::Yes : MessageBoxResult::No;
}

} // namespace

MessageBoxResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                            uint32_t style) {
    const MessageBoxCall call{text, caption, style};
    if (gAnswer) {
        return gAnswer(call);
    }
    return ShowReal(parent, call);
}

ScriptedMessageBoxes::ScriptedMessageBoxes() {
    gScripted = this;
    gAnswer = [](const MessageBoxCall& call) { return gScripted->Answer(call); };
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
    gAnswer = nullptr;
    gScripted = nullptr;
}

MessageBoxResult ScriptedMessageBoxes::Answer(const MessageBoxCall& call) {
    calls_.push_back(call);
    if (!answers_.empty()) {
        const MessageBoxResult answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return (call.style & 0x0F) == kMbYesNo ? MessageBoxResult::No : MessageBoxResult::Ok;
}

} // namespace platform
