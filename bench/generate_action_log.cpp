// Writes a deterministic action log for the replay benchmarks.
//
//   generate_action_log COUNT SHAPE SEQ NESTING OUT
//     SHAPE    small (about 185 bytes a transaction) or medium (about 1 KB)
//     SEQ      ascending, reverse or shuffled
//     NESTING  every NESTING-th transaction holds one more inside it; 0: none

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A small linear congruential generator: the same file on every machine.
struct Random {
  unsigned long long state = 0x2545F4914F6CDD1DULL;
  unsigned next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<unsigned>(state >> 33);
  }
};

void smallBody(std::string& out, long id, Random& random) {
  char text[256];
  std::snprintf(
      text, sizeof text,
      "<action name=\"setValue\" object=\"obj%08ld\" property=\"caption\" "
      "time=\"2026-12-09T%02u:%02u:00\" user=\"tester\"><value>Region "
      "%ld</value></action>",
      id, random.next() % 24, random.next() % 60, id);
  out += text;
}

void mediumBody(std::string& out, long id, Random& random) {
  char text[320];
  for (int action = 0; action < 6; ++action) {
    std::snprintf(
        text, sizeof text,
        "\n    <action name=\"setProperty\" object=\"dim%06ld.level%d\" "
        "property=\"p%u\" user=\"tester\"><value kind=\"text\">value %u of "
        "%ld</value>"
        "<old>previous %u</old></action>",
        id, action, random.next() % 100, random.next() % 100000, id,
        random.next() % 1000);
    out += text;
  }
  out += "\n  ";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(
        stderr,
        "usage: %s COUNT small|medium ascending|reverse|shuffled NESTING OUT\n",
        argv[0]);
    return 2;
  }
  const long count = std::atol(argv[1]);
  const bool medium = std::strcmp(argv[2], "medium") == 0;
  const std::string order = argv[3];
  const long nesting = std::atol(argv[4]);
  std::FILE* file = std::fopen(argv[5], "wb");
  if (file == nullptr) {
    std::perror(argv[5]);
    return 1;
  }

  std::vector<long> seqs(static_cast<std::size_t>(count));
  for (long i = 0; i < count; ++i)
    seqs[static_cast<std::size_t>(i)] = order == "reverse" ? count - i : i + 1;
  Random random;
  if (order == "shuffled") {
    for (std::size_t i = seqs.size(); i > 1; --i)
      std::swap(seqs[i - 1], seqs[random.next() % i]);
  }

  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actionLog "
      "project=\"Bench\">\n";
  for (long i = 0; i < count; ++i) {
    const long seq = seqs[static_cast<std::size_t>(i)];
    const bool nests = nesting > 0 && i + 1 < count && (i + 1) % nesting == 0;
    out += "  <transaction seq=\"" + std::to_string(seq) + "\">";
    if (medium) {
      mediumBody(out, seq, random);
    } else {
      smallBody(out, seq, random);
    }
    if (nests) {
      ++i;
      out += "<transaction seq=\"" +
             std::to_string(seqs[static_cast<std::size_t>(i)]) + "\">";
      smallBody(out, seqs[static_cast<std::size_t>(i)], random);
      out += "</transaction>";
    }
    out += "</transaction>\n";
    if (out.size() > (1 << 20)) {
      std::fwrite(out.data(), 1, out.size(), file);
      out.clear();
    }
  }
  out += "</actionLog>\n";
  std::fwrite(out.data(), 1, out.size(), file);
  return std::fclose(file) == 0 ? 0 : 1;
}
