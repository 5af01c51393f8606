#include "cli/launch.h"

#include <string_view>

#include "cli/job_path.h"
#include "platform/services.h"
#include "text/said.h"

namespace qs::cli {

LaunchRequest ReadLaunch(int argc, char** argv, bool display) {
    LaunchRequest request;
    if (argc < 2) {
        return request;
    }
    const std::string_view first = argv[1];
    if (first == "split" || first == "merge" || first == "verify" || first.starts_with('-')) {
        request.launch = Launch::CommandLine;
        return request;
    }
    request.launch = Launch::UsageError;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const std::optional<Text> path = word.starts_with('-') ? std::nullopt : ToJobPath(word);
        // What the path leads to, so that a link that leads nowhere names no file.
        if (!path || !Fs().FileIdentity(*path)) {
            request.error = word + ": " +
                            Say("不是命令（split、merge、verify），也不是存在的文件或目录",
                                "not a command (split, merge, verify) nor an existing file or "
                                "folder");
            return request;
        }
        request.paths.push_back(*path);
    }
    if (!display) {
        request.error = Say("打开文件需要窗口，但没有显示器（DISPLAY 为空）；在命令行上分割：",
                            "opening files needs the window, and there is no display (DISPLAY "
                            "is empty); to split them here: ") +
                        "qirnsplit split " + std::string(first) + (argc > 2 ? " ..." : "");
        request.paths.clear();
        return request;
    }
    request.launch = Launch::Window;
    return request;
}

}  // namespace qs::cli
