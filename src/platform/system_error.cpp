#include "platform/system_error.h"

#include <errno.h>
#include <locale.h>
#include <string.h>

namespace qs {
namespace {

thread_local int t_lastError = 0;

// The user's messages, spelled in UTF-8 whatever the user's own code set: the program's
// other texts are UTF-8. Made once; never freed, as the program may report until it ends.
locale_t MessagesLocale() {
    static const locale_t messages = [] {
        locale_t base = ::newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(nullptr));
        if (base == static_cast<locale_t>(nullptr)) {
            base = ::newlocale(LC_MESSAGES_MASK, "C", static_cast<locale_t>(nullptr));
        }
        const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
        return utf8 != static_cast<locale_t>(nullptr) ? utf8 : base;
    }();
    return messages;
}

}  // namespace

int LastSystemError() {
    return t_lastError;
}

void SetLastSystemError(int code) {
    t_lastError = code;
}

std::string SystemErrorText(int code) {
    const locale_t messages = MessagesLocale();
    return messages != static_cast<locale_t>(nullptr) ? ::strerror_l(code, messages)
                                                      : ::strerror(code);
}

bool IsOutOfSpace(int code) {
    return code == ENOSPC || code == EDQUOT;
}

std::string_view SystemErrorName(int code) {
    const char* name = ::strerrorname_np(code);
    return name != nullptr ? std::string_view(name) : std::string_view();
}

}  // namespace qs
