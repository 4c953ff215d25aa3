#include <cstdio>

int main() {
    std::puts("quivra-downloader: the windows are not built yet.");
    return 0;
}
