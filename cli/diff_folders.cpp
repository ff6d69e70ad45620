// kxm diff over two folders, as diff -r pairs them: the .kxm files by their path below each
// folder; those of one folder only said first, then each pair's differences, pairs compared
// several at once and written in order.
#include <map>
#include <new>
#include <vector>

#include "cli/diff_command.h"
#include "cli/file_runner.h"
#include "cli/json_writer.h"
#include "text/format.h"

namespace kxm {

namespace {

struct Pairing {
  std::vector<Input> firsts;          // of the pairs, in the first folder's order
  std::vector<const Input*> seconds;  // their counterparts
  std::vector<const Input*> onlyFirst, onlySecond;
};

std::string relativeOf(const Input& input) {
  return input.relative.generic_string();
}

Pairing pairFiles(const InputList& a, const InputList& b) {
  Pairing pairing;
  std::map<std::string, const Input*> inB;
  for (const Input& input : b.files) inB.emplace(relativeOf(input), &input);
  for (const Input& input : a.files) {
    const auto found = inB.find(relativeOf(input));
    if (found == inB.end()) {
      pairing.onlyFirst.push_back(&input);
      continue;
    }
    pairing.firsts.push_back(input);
    pairing.seconds.push_back(found->second);
    inB.erase(found);
  }
  for (const Input& input : b.files) {
    if (inB.count(relativeOf(input)) != 0) pairing.onlySecond.push_back(&input);
  }
  return pairing;
}

void reportLone(const DiffRequest& request, const Input& input, const char* which, Output& out) {
  if (!request.json) {
    out.write(relativeOf(input) + ": only in the " + which + " folder\n");
    return;
  }
  JsonWriter json(out);
  json.beginObject();
  writeDocumentHead(json, input.shown);
  json.key("onlyIn").string(which);
  json.endObject();
  json.finish();
}

struct FolderTotals {
  std::uint64_t same = 0, differ = 0, unreadable = 0, onlyFirst = 0, onlySecond = 0;
};

void writeFolderTotals(const FolderTotals& t, Output& to) {
  const std::uint64_t files = t.same + t.differ + t.unreadable + t.onlyFirst + t.onlySecond;
  std::string line = plural(files, "file", "files") + ": " + std::to_string(t.same) +
                     " the same, " + std::to_string(t.differ) + " differ, " +
                     std::to_string(t.onlyFirst) + " only in the first folder, " +
                     std::to_string(t.onlySecond) + " only in the second";
  if (t.unreadable != 0) line += ", " + std::to_string(t.unreadable) + " could not be read";
  to.write(line + "\n");
}

}  // namespace

int runFolderDiff(const DiffRequest& request, const std::string& a, const std::string& b,
                  Output& out, Output& err) {
  const InputList listA = expandInputs({a}, stdin), listB = expandInputs({b}, stdin);
  for (const InputList* list : {&listA, &listB}) {
    for (const std::string& line : list->warnings) err.write(line + "\n");
    for (const std::string& line : list->errors) err.write(line + "\n");
  }
  const Pairing pairing = pairFiles(listA, listB);
  FolderTotals totals;
  totals.onlyFirst = pairing.onlyFirst.size();
  totals.onlySecond = pairing.onlySecond.size();
  for (const Input* input : pairing.onlyFirst) reportLone(request, *input, "first", out);
  for (const Input* input : pairing.onlySecond) reportLone(request, *input, "second", out);
  // Written by index, each by the one worker that compares that pair; -1 until it has.
  std::vector<int> statuses(pairing.firsts.size(), -1);
  runOverInputs(
      pairing.firsts, RunSettings{request.jobs, request.progress},
      [&](std::size_t i, const Input& input, Output& o, Output& e) {
        statuses[i] = diffPair(request, input, *pairing.seconds[i], relativeOf(input), o, e);
        return Tally{};
      },
      out, err);
  for (const int status : statuses) {
    (status < 0 ? totals.unreadable : status == 0 ? totals.same : totals.differ) += 1;
  }
  writeFolderTotals(totals, request.json ? err : out);
  if (totals.unreadable != 0 || !listA.errors.empty() || !listB.errors.empty()) return 2;
  return totals.differ + totals.onlyFirst + totals.onlySecond == 0 ? 0 : 1;
}

}  // namespace kxm
