#include "app/output_options.h"

#include "app/main_window.h"

namespace qs {

OutputRequest OutputRequestOf(const Form& form) {
    OutputRequest request;
    static const Text& encodingControl = U(names::OutputEncoding);
    static const Text& zhControl = U(names::ChineseConversion);
    if (const Control* c = form.Find(encodingControl)) {
        request.encoding = ParseOutputEncoding(c->text);
    }
    if (const Control* c = form.Find(zhControl)) {
        request.zh = ParseZhConversion(c->text).value_or(ZhConversion::None);
    }
    return request;
}

}  // namespace qs
