// The program's entry: option scan and validation, the run itself, and every
// message on standard error and every exit status (0 or 1).
//
//   int main(int argc, char **argv) { return tonesift_main(argc, argv); }
#pragma once

#include <cstdint>
#include <cstdio>

#define TONESIFT_VERSION "0.7.1-beta"

// Writes the usage text to `stream`.
void print_usage(FILE *stream);

// Integer option text: strtol rules, saturated to the 32-bit signed range.
int32_t parse_int_option(const char *text);
// Number option text: atof rules (no number gives 0.0).
double parse_number_option(const char *text);

// Runs one query from the argument vector; returns the exit status.
int tonesift_main(int argc, char **argv);
