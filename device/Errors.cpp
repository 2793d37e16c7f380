#include "device/Errors.h"

std::string TrimSystemMessage(const std::string& text) {
    std::string trimmed = text;
    for (;;) {
        if (!trimmed.empty() && (static_cast<unsigned char>(trimmed.back()) <= ' ' || trimmed.back() == '.')) {
            trimmed.pop_back();
        } else if (trimmed.size() >= 2 && trimmed.compare(trimmed.size() - 2, 2, "\xA1\xA3") == 0) {
            // The ideographic full stop of a Chinese system message.
            trimmed.erase(trimmed.size() - 2);
        } else {
            break;
        }
    }
    return trimmed;
}
