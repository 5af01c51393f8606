#include "job/job_request.h"

#include <variant>

namespace qs {

std::optional<ParamsProblem> Validate(const SplitRequest& request) {
    const SplitParams& params = request.params;
    if (std::optional<ParamsProblem> problem = Validate(params)) {
        return problem;
    }
    const SplitAtChaptersParams* chapters = std::get_if<SplitAtChaptersParams>(&params.mode);
    if (!request.statedOptions || chapters == nullptr || !chapters->epub) {
        return std::nullopt;
    }
    if (params.output.encoding) {
        return ParamsProblem{SplitField::OutputEncoding, U("电子书总是 UTF-8，不能指定输出编码")};
    }
    if (params.manifest) {
        return ParamsProblem{SplitField::Manifest, U("电子书不能生成校验清单")};
    }
    return std::nullopt;
}

}  // namespace qs
