#include <cstdio>

// The window is wired up here once the Qt view exists.
int main() {
    std::puts("Qirnsplit");
    return 0;
}
