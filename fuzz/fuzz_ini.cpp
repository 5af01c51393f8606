// The settings store on an arbitrary file, then a run of arbitrary writes: after every write
// the file equals the in-memory copy, and a value that was accepted reads back.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "platform/services.h"
#include "settings/ini_store.h"

using namespace qs;

namespace {

const Text& Folder() {
    static const Text folder = [] {
        char pattern[] = "/tmp/qs-fuzz-ini-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        return Text(made ? made : "/tmp");
    }();
    return folder;
}

Text Expected(const Text& value) {
    // CR LF is kept as the escape, and the escape reads back as CR LF.
    const Text& escape = U("┊*┊");
    return ReplaceAll(ReplaceAll(value, "\r\n", escape), escape, "\r\n");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Fields: the file, then section, key, value, section, key, value, ...
    const auto fields = fuzz::Fields(data, size, 13);
    const Text path = Folder() + "/Qirnsplit.ini";
    if (!Fs().WriteWholeFile(path, fields[0])) {
        return 0;
    }
    SettingsStore store;
    QS_FUZZ_CHECK(store.OpenFile(path));
    QS_FUZZ_CHECK(store.Copy() == fields[0]);
    for (std::size_t i = 1; i + 2 < fields.size(); i += 3) {
        store.SetSection(fields[i]);
        const Text& key = fields[i + 1];
        const Text& value = fields[i + 2];
        const bool accepted = store.WriteText(key, value);
        QS_FUZZ_CHECK(Fs().ReadWholeFile(path).value_or("<missing>") == store.Copy());
        // Refused: names that would change the file's structure, and values that would not
        // read back: a line break a stray lead byte hides from the escaping, or the escape
        // itself standing in the value (it would come back as a line break).
        const Text escaped = ReplaceAll(value, "\r\n", U("┊*┊"));
        const bool readsBack = escaped.find("\r\n") == std::string::npos &&
                               ReplaceAll(escaped, U("┊*┊"), "\r\n") == value;
        const bool safeNames = IsSafeSectionName(fields[i]) && IsSafeKeyName(key);
        const bool hasBreak = value.find_first_of("\r\n") != std::string::npos;
        QS_FUZZ_CHECK(!accepted || (safeNames && readsBack));
        // Only a value that would not read back, or one with a line break, is refused.
        QS_FUZZ_CHECK(accepted || !safeNames || !readsBack || hasBreak);
        if (accepted) {
            const Text back = store.ReadText(key, "<default>");
            QS_FUZZ_CHECK(back == (Expected(value).empty() ? Text("<default>") : Expected(value)));
        }
    }
    return 0;
}
