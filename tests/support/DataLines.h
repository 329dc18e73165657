// The recorded TDLib texts of tests/data (*.jsonl, one text per line) as tests and benchmarks
// read them. Any thread.
#ifndef QVN_TESTS_SUPPORT_DATALINES_H
#define QVN_TESTS_SUPPORT_DATALINES_H

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvn::test {

// The non-empty lines of the file at aPath, in order. Throws std::runtime_error when it cannot
// be read, so a missing sample fails the caller instead of giving it nothing to check.
inline std::vector<std::string> NonEmptyLines(const std::string& aPath) {
  std::ifstream in(aPath);
  if (!in) throw std::runtime_error("cannot read " + aPath);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace qvn::test

#endif  // QVN_TESTS_SUPPORT_DATALINES_H
