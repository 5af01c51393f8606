#include "bench/bench_child.h"

#include <chrono>

#include "encoding/text_decoder.h"

namespace qs::bench {
namespace {

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool RunOurs(const std::string& caseName, const std::string& source, const std::string&,
             ChildResult& result) {
    if (caseName == "decode") {
        const double start = Now();
        const DecodedText decoded = DecodeTextFile(source);
        result.seconds = Now() - start;
        return decoded.encoding == EncodingUtf8;
    }
    return false;
}

}  // namespace qs::bench
