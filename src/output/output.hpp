// Result output: the run's QueryReport on standard output as text, one JSON
// document or CSV rows.
//
//   print_text_report(report);   // or print_json_report / print_csv_report
//
// None of the printers fails or reports write errors. Numbers use printf
// rules; the program never leaves the C locale, so the separator is a point.
#pragma once

#include "analysis/analysis.hpp"

void print_text_report(const QueryReport &report);
void print_json_report(const QueryReport &report);
void print_csv_report(const QueryReport &report);
// One result's CSV rows, each after `prefix` (shorter than CSV_PREFIX_SIZE).
constexpr size_t CSV_PREFIX_SIZE = 80;
void print_csv_rows(const char *prefix, const ChannelResult &result);
