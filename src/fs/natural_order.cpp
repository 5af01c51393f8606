#include "fs/natural_order.h"

#include "platform/characters.h"

namespace qs {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

unsigned char Folded(char c) {
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + ('a' - 'A')) : b;
}

std::size_t DigitRunEnd(std::string_view t, std::size_t i) {
    while (i < t.size() && IsDigit(t[i])) {
        ++i;
    }
    return i;
}

// Compares two digit runs by value: <0, 0 or >0.
int CompareNumbers(std::string_view x, std::string_view y) {
    while (x.size() > 1 && x.front() == '0') {
        x.remove_prefix(1);
    }
    while (y.size() > 1 && y.front() == '0') {
        y.remove_prefix(1);
    }
    if (x.size() != y.size()) {
        return x.size() < y.size() ? -1 : 1;
    }
    return x.compare(y);
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
        int order;
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::size_t ie = DigitRunEnd(a, i);
            const std::size_t je = DigitRunEnd(b, j);
            order = CompareNumbers(a.substr(i, ie - i), b.substr(j, je - j));
            i = ie;
            j = je;
        } else {
            const std::size_t il = CharLength(a, i);
            const std::size_t jl = CharLength(b, j);
            order = CompareChars(a.substr(i, il), b.substr(j, jl));
            i += il;
            j += jl;
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
