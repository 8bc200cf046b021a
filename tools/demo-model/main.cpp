// Stand-in core model: placeholder until the full stand-in lands.
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OPTIONS-FILE\n", argv[0]);
        return 2;
    }
    return 0;
}
