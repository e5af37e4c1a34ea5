/* exit_with N: ends with exit code N, so the runner's exit code can be checked. */
#include <stdlib.h>

int main(int argc, char** argv) {
    return argc > 1 ? atoi(argv[1]) : 0;
}
