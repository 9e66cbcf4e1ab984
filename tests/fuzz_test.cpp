// Seeded mutation fuzzing of panelhost's two text parsers, the scenario
// reader and the flight-log reader. Every input either parses or is refused
// with an Error that names the file ("FILE:LINE: problem"); anything else (a
// different exception, a crash, a sanitizer report in the sanitizer build) is
// a fault. Inputs are mutations of the corpus kept in tests/fuzz/corpus/.
//
// PANEL_FUZZ_SEED and PANEL_FUZZ_ITERATIONS override the seed (default 1, so
// CI repeats itself) and the mutations per corpus file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/flight_log.h"
#include "host/host.h"
#include "host/scenario.h"

namespace {

namespace fs = std::filesystem;

std::uint32_t EnvNumber(const char* name, std::uint32_t fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10))
                                    : fallback;
}

std::vector<std::string> Corpus(const std::string& parser) {
  std::vector<fs::path> files;
  for (const auto& e :
       fs::directory_iterator(fs::path(PANEL_SOURCE_DIR) / "tests/fuzz/corpus" / parser)) {
    files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<std::string> out;
  for (const fs::path& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    out.push_back(s.str());
  }
  return out;
}

// Text that parsers tend to trip on, spliced in where numbers and words stand.
const std::vector<std::string> kTokens = {"",
                                          "-",
                                          "+",
                                          ".",
                                          "-0",
                                          "0x10",
                                          "1e308",
                                          "1e309",
                                          "-1e309",
                                          "nan",
                                          "inf",
                                          "-inf",
                                          "1.#INF",
                                          "2147483647",
                                          "2147483648",
                                          "-2147483649",
                                          "4294967296",
                                          "99999999999999999999999",
                                          "#####",
                                          "-####",
                                          "\t",
                                          "\t\t",
                                          " ",
                                          "\r",
                                          "\r\n",
                                          "\n",
                                          std::string(1, '\0'),
                                          "\xFF\xFE",
                                          "word:",
                                          "word:-4",
                                          "word:1024",
                                          "word:1021",
                                          "end",
                                          "table",
                                          "panel",
                                          "gauge",
                                          "click",
                                          "Recording Enabled",
                                          "End recording",
                                          "index\tTAS",
                                          std::string(5000, '9')};

// One to four random edits of `input`; `other` is another corpus entry to splice with.
std::string Mutate(std::mt19937& rng, std::string input, const std::string& other) {
  auto below = [&](std::size_t n) {
    return n == 0 ? std::size_t{0} : static_cast<std::size_t>(rng() % n);
  };
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = below(input.size() + 1);
    switch (rng() % 9) {
      case 0:  // flip a byte
        if (!input.empty()) input[below(input.size())] = static_cast<char>(rng());
        break;
      case 1:  // insert random bytes
        for (std::size_t n = 1 + below(8); n > 0; --n)
          input.insert(input.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>(rng()));
        break;
      case 2:  // delete a range
        input.erase(at, 1 + below(32));
        break;
      case 3: {  // duplicate a range
        const std::string piece = input.substr(at, 1 + below(200));
        input.insert(below(input.size() + 1), piece);
        break;
      }
      case 4:  // splice in a troublesome token
        input.insert(at, kTokens[below(kTokens.size())]);
        break;
      case 5: {  // replace the word or number at a random place
        std::size_t begin = at;
        while (begin > 0 && input[begin - 1] != ' ' && input[begin - 1] != '\t' &&
               input[begin - 1] != '\n')
          --begin;
        std::size_t end = at;
        while (end < input.size() && input[end] != ' ' && input[end] != '\t' && input[end] != '\n')
          ++end;
        input.replace(begin, end - begin, kTokens[below(kTokens.size())]);
        break;
      }
      case 6:  // cut short
        input.resize(at);
        break;
      case 7:  // the head of one input on the tail of another
        input = input.substr(0, at) + other.substr(below(other.size() + 1));
        break;
      default: {  // swap two lines
        std::vector<std::string> lines;
        std::istringstream in(input);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        if (lines.size() >= 2) std::swap(lines[below(lines.size())], lines[below(lines.size())]);
        input.clear();
        for (const std::string& line : lines) input += line + "\n";
        break;
      }
    }
  }
  return input;
}

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s.substr(0, 400)) {
    if (c == '\n') {
      out += "\\n\n";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", c);
      out += esc;
    }
  }
  return out;
}

// Feeds the corpus and its mutations to `parse`; the only exception allowed is
// an Error whose message begins with the file name.
void Fuzz(const std::string& parser, const std::string& file,
          const std::function<void(const std::string&)>& parse) {
  const std::uint32_t seed = EnvNumber("PANEL_FUZZ_SEED", 1);
  const std::uint32_t iterations = EnvNumber("PANEL_FUZZ_ITERATIONS", 3000);
  const std::vector<std::string> corpus = Corpus(parser);
  ASSERT_FALSE(corpus.empty());
  std::mt19937 rng(seed);
  int refused = 0;
  int accepted = 0;
  for (std::size_t c = 0; c < corpus.size(); ++c) {
    // Larger inputs get fewer mutations, so that each corpus file costs alike.
    const std::uint32_t runs = std::max<std::uint32_t>(
        20, iterations * 1000 /
                static_cast<std::uint32_t>(std::max<std::size_t>(corpus[c].size(), 1000)));
    for (std::uint32_t i = 0; i <= runs; ++i) {
      const std::string input =
          i == 0 ? corpus[c] : Mutate(rng, corpus[c], corpus[rng() % corpus.size()]);
      try {
        parse(input);
        ++accepted;
      } catch (const panelhost::Error& e) {
        ++refused;
        const std::string message = e.what();
        if (message.rfind(file + ":", 0) != 0) {
          ADD_FAILURE() << "error without the file name: \"" << message << "\" (seed " << seed
                        << ", corpus file " << c << ", mutation " << i << ")\n"
                        << Printable(input);
          return;
        }
      } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected " << typeid(e).name() << ": " << e.what() << " (seed " << seed
                      << ", corpus file " << c << ", mutation " << i << ")\n"
                      << Printable(input);
        return;
      }
    }
  }
  // The mutations reach both sides of the parser.
  EXPECT_GT(accepted, static_cast<int>(corpus.size()));
  EXPECT_GT(refused, 0);
}

TEST(Fuzz, ScenarioParserAcceptsOrNamesTheLine) {
  Fuzz("scenario", "fuzz.scn",
       [](const std::string& text) { panelhost::ParseScenario(text, "fuzz.scn"); });
}

TEST(Fuzz, FlightLogParserAcceptsOrNamesTheLine) {
  Fuzz("flight_log", "data_log.txt", [](const std::string& text) {
    const panelhost::FlightLog log = panelhost::ParseFlightLog(text, "data_log.txt");
    panelhost::FlightLogCsv(log);
  });
}

// The corpus itself is valid input: each file parses as it stands.
TEST(Fuzz, CorpusFilesParse) {
  for (const std::string& text : Corpus("scenario")) {
    EXPECT_NO_THROW(panelhost::ParseScenario(text, "corpus.scn")) << Printable(text);
  }
  for (const std::string& text : Corpus("flight_log")) {
    EXPECT_NO_THROW(panelhost::ParseFlightLog(text, "corpus.txt")) << Printable(text);
  }
}

}  // namespace
