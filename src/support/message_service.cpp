#include "support/message_service.h"

namespace pellandrix {

MessageAnswer CMessageService::ShowMessage(MessageKind kind, const std::string& text,
                                           ButtonStyle buttons) {
    ++shown_;
    if (passOver_ != nullptr) {
        const auto seen = passOver_->find(text);
        if (seen != passOver_->end() && seen->second > 0) {
            --seen->second;
            return MessageAnswer::Ok;
        }
    }
    if (noted_ != nullptr) {
        ++(*noted_)[text];
    }
    return presenter_->Present(kind, text, buttons);
}

int CMessageService::ShowParseError(MessageId id, std::string_view file_name,
                                    std::string_view line) {
    ShowMessage(MessageKind::Error, FormatMessage(id, file_name, line), ButtonStyle::Ok);
    return 1;
}

int CMessageService::ShowError(MessageId id, std::string_view first, std::string_view second) {
    ShowMessage(MessageKind::Error, FormatMessage(id, first, second), ButtonStyle::Ok);
    return 1;
}

MessageAnswer CMessageService::AskQuestion(MessageId id, ButtonStyle buttons,
                                           std::optional<std::string_view> first,
                                           std::string_view second) {
    return ShowMessage(MessageKind::Question, FormatMessage(id, first, second), buttons);
}

int CMessageService::ShowNotice(MessageId id, std::optional<std::string_view> first,
                                std::string_view second) {
    ShowMessage(MessageKind::Notice, FormatMessage(id, first, second), ButtonStyle::Ok);
    return 1;
}

}  // namespace pellandrix
