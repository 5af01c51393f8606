#include "merge/heading_order.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <tuple>
#include <vector>

#include "encoding/text_slices.h"
#include "job/book_contents.h"
#include "job/chapter_heading.h"

namespace qs {
namespace {

// Where a member goes in the book, by the headings it begins with.
struct MemberKey {
    enum Rank { FrontMatter, Front, Numbered, Back };
    Rank rank = FrontMatter;
    std::optional<std::int64_t> volume;  // as the member names it
    std::optional<std::int64_t> number;
    bool volumeOnly = false;                      // a volume heading with no chapter after it
    std::optional<std::int64_t> volumeAsChapter;  // that heading's number, were it a chapter
};

// A run of this many headings with nothing between at the start is the book's own contents.
constexpr int kContentsRun = 3;

MemberKey KeyOfLines(std::string_view text) {
    MemberKey key;
    std::optional<HeadingShape> volume;
    int chapters = 0;
    bool first = true;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (HeadingTitle(line).empty()) {
            continue;
        }
        const std::optional<HeadingShape> shape = ShapeOfLine(line);
        if (!shape) {
            break;
        }
        if (shape->volumeUnit && first) {
            volume = shape;
            first = false;
            continue;
        }
        first = false;
        if (++chapters >= kContentsRun) {
            return MemberKey{};
        }
        if (chapters == 1) {
            key.rank = shape->place == HeadingPlace::Front  ? MemberKey::Front
                       : shape->place == HeadingPlace::Back ? MemberKey::Back
                                                            : MemberKey::Numbered;
            key.number = shape->number;
            key.volume = shape->volumeNumber ? shape->volumeNumber
                         : volume            ? volume->number
                                             : std::nullopt;
        }
    }
    if (volume && chapters == 0) {
        key.rank = MemberKey::Numbered;
        key.volume = volume->number;
        key.volumeOnly = true;
        key.volumeAsChapter = volume->number;
    }
    return key;
}

// The key of a member from the start of its text; front matter when it cannot be read (the
// merge then tells why).
MemberKey KeyOf(const Text& path, const std::function<void()>& pump, TextEncoding readAs) {
    TextSliceReader reader;
    if (pump) {
        reader.BetweenSlices(pump);
    }
    std::string_view slice;
    if (!reader.Open(path, readAs) || !reader.Next(slice)) {
        return MemberKey{};
    }
    return KeyOfLines(slice);
}

}  // namespace

HeadingOrder OrderByHeadings(const TextList& paths, const std::function<void()>& pump,
                             TextEncoding readAs) {
    std::vector<MemberKey> keys;
    keys.reserve(paths.size());
    for (const Text& path : paths) {
        keys.push_back(KeyOf(path, pump, readAs));
    }
    // A volume heading alone is a chapter where no member holds chapters of another form
    // (a book of 第一集, 第二集 ...).
    const bool volumes = std::any_of(keys.begin(), keys.end(), [](const MemberKey& k) {
        return k.rank == MemberKey::Numbered && !k.volumeOnly;
    });
    std::set<std::int64_t> seen;
    bool numbersRepeat = false;
    for (MemberKey& k : keys) {
        if (k.volumeOnly && !volumes) {
            k.volumeOnly = false;
            k.number = k.volumeAsChapter;
            k.volume.reset();
        }
        if (k.rank == MemberKey::Numbered && !k.volumeOnly && k.number) {
            numbersRepeat = numbersRepeat || !seen.insert(*k.number).second;
        }
    }
    // The volume of a member that names none.
    std::map<std::int64_t, std::int64_t> firstOfVolume;  // volume: its lowest chapter number
    for (const MemberKey& k : keys) {
        if (k.volume && k.number && !k.volumeOnly && k.rank == MemberKey::Numbered) {
            auto [it, added] = firstOfVolume.try_emplace(*k.volume, *k.number);
            it->second = added ? it->second : std::min(it->second, *k.number);
        }
    }
    std::optional<std::int64_t> previous;
    for (MemberKey& k : keys) {
        if (k.rank != MemberKey::Numbered) {
            continue;
        }
        if (!k.volume && numbersRepeat) {
            k.volume = previous;
        } else if (!k.volume && k.number) {
            for (const auto& [volume, first] : firstOfVolume) {
                if (first <= *k.number) {
                    k.volume = volume;
                }
            }
        }
        previous = k.volume;
    }
    std::vector<std::size_t> order(paths.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const MemberKey& x = keys[a];
        const MemberKey& y = keys[b];
        const auto rankOf = [](const MemberKey& k) {
            // A volume opens the chapters of its number; those without a number come last.
            return std::tuple(static_cast<int>(k.rank), k.volume.value_or(-1), !k.volumeOnly,
                              !k.number.has_value(), k.number.value_or(0));
        };
        return rankOf(x) < rankOf(y);
    });

    HeadingOrder result;
    HeadingScan scan;
    std::size_t offset = 0;
    for (const std::size_t i : order) {
        result.members.push_back(paths[i]);
        TextSliceReader reader;
        if (pump) {
            reader.BetweenSlices(pump);
        }
        std::size_t bytes = 0;
        if (reader.Open(paths[i], readAs) && ScanSlices(reader, scan, offset, bytes)) {
            offset += bytes;
        }
    }
    result.contents = scan.Finish(offset);
    return result;
}

}  // namespace qs
