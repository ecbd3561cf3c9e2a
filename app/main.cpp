#include <cstdio>

int main(int argc, char** argv) {
    (void)argv;
    if (argc < 2) {
        std::printf("Usage: glintor SceneFile.xml\n");
        return 0;
    }
    return 0;
}
