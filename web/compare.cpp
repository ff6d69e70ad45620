#include "web/compare.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include "web/replies.h"

namespace kxm::web {

namespace {

class PageReport final : public DiffReport {
 public:
  PageReport(std::uint64_t most, DiffSide& a, DiffSide& b) : DiffReport(most), a_(a), b_(b) {}

  nlohmann::ordered_json listed = nlohmann::ordered_json::array();
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;

  void paired(NodeHandle x, NodeHandle y) override {
    const NodeSource sx = a_.source(x), sy = b_.source(y);
    if (sx.kind != NodeSource::Kind::None && sy.kind != NodeSource::Kind::None) {
      pairs.emplace_back(sx.offset, sy.offset);
    }
  }

 protected:
  void list(const Difference& d) override {
    nlohmann::ordered_json item;
    // As kxm diff --json writes them: each byte of a path or text the character of its value.
    item["kind"] = d.kind;
    item["path"] = bytesAsText(d.path);
    item["text"] = bytesAsText(d.text);
    item["from"] = bytesAsText(d.from);
    item["to"] = bytesAsText(d.to);
    item["a"] = place(a_, d.a);
    item["b"] = place(b_, d.b);
    listed.push_back(std::move(item));
  }

 private:
  static nlohmann::ordered_json place(DiffSide& side, const DiffPlace& at) {
    const bool node = at.node != 0 && side.source(at.node).kind != NodeSource::Kind::None;
    if (!node && !at.byte) return nullptr;
    nlohmann::ordered_json out;
    out["offset"] = node ? nlohmann::ordered_json(side.source(at.node).offset) : nullptr;
    out["byte"] = at.byte ? nlohmann::ordered_json(*at.byte) : nullptr;
    return out;
  }

  DiffSide& a_;
  DiffSide& b_;
};

}  // namespace

nlohmann::ordered_json compareJson(std::span<const std::uint8_t> first,
                                   std::span<const std::uint8_t> second, const DiffOptions& options,
                                   std::uint64_t most, std::vector<std::uint32_t>& pairs) {
  DiffSide a, b;
  (void)a.load(first, options);
  (void)b.load(second, options);
  PageReport report(most, a, b);
  diffFiles(options, a, b, report);
  nlohmann::ordered_json out;
  out["differences"] = std::move(report.listed);
  out["count"] = report.count();
  out["truncated"] = report.count() > most;
  out["pairs"] = report.pairs.size();
  auto& found = report.pairs;
  pairs.clear();
  pairs.reserve(4 * found.size());
  std::sort(found.begin(), found.end());
  for (const auto& [x, y] : found) pairs.insert(pairs.end(), {x, y});
  std::sort(found.begin(), found.end(), [](const auto& p, const auto& q) {
    return std::tie(p.second, p.first) < std::tie(q.second, q.first);
  });
  for (const auto& [x, y] : found) pairs.insert(pairs.end(), {y, x});
  return out;
}

}  // namespace kxm::web
