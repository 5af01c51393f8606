#include "fs/natural_order.h"

#include <optional>

#include "text/characters.h"
#include "text/numerals.h"

namespace qs {
namespace {

unsigned char Folded(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

// Compares the characters x and y, ASCII letters folded: <0, 0 or >0.
int CompareChars(std::string_view x, std::string_view y) {
    const std::size_t n = x.size() < y.size() ? x.size() : y.size();
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned char bx = Folded(x[k]);
        const unsigned char by = Folded(y[k]);
        if (bx != by) {
            return bx < by ? -1 : 1;
        }
    }
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    return 0;
}

}  // namespace

bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::optional<NumberRun> x = ReadNumber(a, i);
        const std::optional<NumberRun> y = ReadNumber(b, j);
        int order;
        if (x && y) {
            order = CompareNumberDigits(x->digits, y->digits);
            i = x->end;
            j = y->end;
        } else {
            // A number of any style sorts where an ASCII digit would, so the order of
            // numbers against other characters does not depend on how they are written.
            const std::size_t il = x ? 1 : CharLength(a, i);
            const std::size_t jl = y ? 1 : CharLength(b, j);
            order = CompareChars(x ? std::string_view("0") : a.substr(i, il),
                                 y ? std::string_view("0") : b.substr(j, jl));
            i = x ? x->end : i + il;
            j = y ? y->end : j + jl;
        }
        if (order != 0) {
            return order < 0;
        }
    }
    if ((i < a.size()) != (j < b.size())) {
        return j < b.size();
    }
    return a < b;
}

}  // namespace qs
