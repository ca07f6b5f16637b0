#include "cli/cli.hpp"

int main(int argc, char **argv) { return tonesift_main(argc, argv); }
