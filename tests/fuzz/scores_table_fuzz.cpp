// Any bytes as the score table: the parser never crashes, and a table it
// accepts is written back to text that reads as the same table, with at most
// ten entries per campaign even after one more score is added.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <span>
#include <string>

#include "shell/shell_local.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

void require_ten_per_campaign(const std::vector<ScoreEntry>& entries) {
  std::map<std::string, int> counts;
  for (const ScoreEntry& e : entries) require(++counts[e.campaign] <= SCORE_TABLE_SIZE);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ScoreTable table = parse_scores(std::span(data, size));
  if (!table.error.empty()) return 0;
  require_ten_per_campaign(table.entries);
  const std::string text = scores_text(table.entries);
  const ScoreTable again =
      parse_scores(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  require(again.error.empty() && again.entries == table.entries);
  if (!table.entries.empty()) {
    ScoreEntry extra = table.entries.front();
    extra.score = extra.score < 1000 ? extra.score + 1 : extra.score;
    add_score(table.entries, extra);
    require_ten_per_campaign(table.entries);
  }
  return 0;
}
