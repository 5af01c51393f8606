#include "app/output_options.h"

#include "app/main_window.h"

namespace qs {

OutputRequest OutputRequestOf(const Form& form) {
    OutputRequest request;
    if (const Control* c = form.Find(U(names::OutputEncoding))) {
        request.encoding = ParseOutputEncoding(c->text);
    }
    if (const Control* c = form.Find(U(names::ChineseConversion))) {
        request.zh = ParseZhConversion(c->text).value_or(ZhConversion::None);
    }
    return request;
}

}  // namespace qs
