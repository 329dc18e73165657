// Event texts recorded from TDLib 1.8.67 (tests/data/*.jsonl), one per line, for the client's
// tests.
#ifndef QVN_TESTS_CLIENT_SAMPLE_EVENTS_H
#define QVN_TESTS_CLIENT_SAMPLE_EVENTS_H

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvn::test {

// Line aLine (counted from 1) of tests/data/aFile.
inline std::string SampleEvent(const std::string& aFile, size_t aLine) {
  std::ifstream in(std::string(QVN_TEST_DATA_DIR) + "/" + aFile);
  std::string text;
  for (size_t line = 1; std::getline(in, text); ++line) {
    if (line == aLine) return text;
  }
  throw std::runtime_error(aFile + " has no line " + std::to_string(aLine));
}

inline std::string MessageSample(size_t aLine) {
  return SampleEvent("messages-sample.jsonl", aLine);
}

// Replaces the first occurrence of aFrom in aText by aTo (aFrom must occur).
inline std::string Replaced(std::string aText, const std::string& aFrom, const std::string& aTo) {
  const size_t at = aText.find(aFrom);
  if (at == std::string::npos) throw std::runtime_error("sample lacks " + aFrom);
  return aText.replace(at, aFrom.size(), aTo);
}

}  // namespace qvn::test

#endif  // QVN_TESTS_CLIENT_SAMPLE_EVENTS_H
