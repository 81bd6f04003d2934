#include "dbx/piece_vote.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <set>
#include <tuple>
#include <utility>

#include "dbx/layout.h"

namespace vireo::dbx {
namespace {

// Header and data of a full block: how far past its header a run is known to reach.
constexpr int64_t kBlockSpan = kBlockHeaderSize + kBlockDataMax;
// Blocks of one origin this far apart belong to two runs (a base overwritten in the middle).
constexpr uint64_t kRunGap = 64 * 1024;
// A chain's next offset found in more places than this is not counted further.
constexpr size_t kMaxLinkTargets = 16;
constexpr uint64_t kLargestCluster = uint64_t{1} << 20;

// Image bytes [imageFirst, imageEnd) hold base offsets from imageFirst - shift on: the blocks of
// one origin, or a file header with the records after it.
struct Run {
  int64_t shift = 0;
  uint64_t imageFirst = 0;  // the first block header (or the file header)
  uint64_t imageLast = 0;   // the end of the last block header: what is surely this run's
  int blocks = 0;
  int64_t baseFirst() const { return static_cast<int64_t>(imageFirst) - shift; }
  int64_t baseEnd() const {  // the last block's data may pass the run's end
    const int64_t span = blocks > 0 ? kBlockSpan - kBlockHeaderSize : 0;
    return std::min<int64_t>(static_cast<int64_t>(imageLast) + span - shift, static_cast<int64_t>(kReachableEnd));
  }
};

using Interval = std::pair<int64_t, int64_t>;  // base offsets [first, second)
using Intervals = std::set<Interval>;           // never overlapping

bool overlaps(const Intervals& set, const Interval& interval) {
  auto at = set.lower_bound({interval.first, INT64_MIN});
  if (at != set.end() && at->first < interval.second) return true;
  return at != set.begin() && std::prev(at)->second > interval.first;
}

class Groups {
 public:
  void add(const Run& run) {
    parent_.push_back(parent_.size());
    intervals_.push_back({{run.baseFirst(), run.baseEnd()}});
    hasHeader_.push_back(0);
  }
  size_t find(size_t r) {
    while (parent_[r] != r) r = parent_[r] = parent_[parent_[r]];
    return r;
  }
  bool hasHeader(size_t r) { return hasHeader_[find(r)] != 0; }
  void markHeader(size_t r) { hasHeader_[find(r)] = 1; }
  // Ties two groups unless they claim the same offsets; the pieces of one base never do. The
  // smaller group's pieces go into the larger's, so a hostile image of many runs stays
  // n log n.
  bool unite(size_t a, size_t b) {
    a = find(a);
    b = find(b);
    if (a == b) return true;
    if (intervals_[a].size() < intervals_[b].size()) std::swap(a, b);
    for (const Interval& interval : intervals_[b])
      if (overlaps(intervals_[a], interval)) return false;
    intervals_[a].insert(intervals_[b].begin(), intervals_[b].end());
    Intervals().swap(intervals_[b]);
    hasHeader_[a] = static_cast<char>(hasHeader_[a] | hasHeader_[b]);
    parent_[b] = a;
    return true;
  }

 private:
  std::vector<size_t> parent_;
  std::vector<Intervals> intervals_;
  std::vector<char> hasHeader_;
};

// Consecutive votes of one origin make a run; a lone vote of another origin inside a run (a
// coincidence in message text) is passed over.
std::vector<Run> findRuns(const std::vector<BlockVote>& votes, std::vector<int64_t>& runOfVote) {
  std::vector<Run> runs;
  runOfVote.assign(votes.size(), -1);
  for (size_t i = 0; i < votes.size(); ++i) {
    const BlockVote& v = votes[i];
    if (!runs.empty()) {
      Run& run = runs.back();
      const auto continues = [&](const BlockVote& w) {
        return w.origin() == run.shift && w.position + kBlockHeaderSize - run.imageLast <= kRunGap;
      };
      if (continues(v)) {
        run.imageLast = v.position + kBlockHeaderSize;
        ++run.blocks;
        runOfVote[i] = static_cast<int64_t>(runs.size() - 1);
        continue;
      }
      if (i + 1 < votes.size() && continues(votes[i + 1])) continue;
    }
    runs.push_back({v.origin(), v.position, v.position + kBlockHeaderSize, 1});
    runOfVote[i] = static_cast<int64_t>(runs.size() - 1);
  }
  return runs;
}

struct Link {
  size_t a = 0;
  size_t b = 0;
  int count = 0;
  uint64_t distance = 0;  // the closest image distance between the blocks it joins
};

uint64_t distanceBetween(uint64_t x, uint64_t y) { return x > y ? x - y : y - x; }

// Chains leaving a run: each next offset outside the run that another run holds a block for.
std::vector<Link> findLinks(const std::vector<BlockVote>& votes, const std::vector<int64_t>& runOfVote,
                            const std::vector<Run>& runs, Groups& groups) {
  std::vector<std::pair<uint32_t, size_t>> bySelf;  // (own offset, vote)
  bySelf.reserve(votes.size());
  for (size_t i = 0; i < votes.size(); ++i)
    if (runOfVote[i] >= 0) bySelf.emplace_back(votes[i].self, i);
  std::sort(bySelf.begin(), bySelf.end());

  std::map<std::pair<size_t, size_t>, Link> links;
  for (size_t i = 0; i < votes.size(); ++i) {
    if (runOfVote[i] < 0 || votes[i].next == 0) continue;
    const Run& from = runs[static_cast<size_t>(runOfVote[i])];
    const int64_t next = votes[i].next;
    if (next >= from.baseFirst() && next < from.baseEnd()) continue;
    auto at = std::lower_bound(bySelf.begin(), bySelf.end(), std::make_pair(votes[i].next, size_t{0}));
    for (size_t seen = 0; at != bySelf.end() && at->first == votes[i].next && seen < kMaxLinkTargets; ++at, ++seen) {
      const size_t a = groups.find(static_cast<size_t>(runOfVote[i]));
      const size_t b = groups.find(static_cast<size_t>(runOfVote[at->second]));
      if (a == b) continue;
      Link& link = links[{std::min(a, b), std::max(a, b)}];
      const uint64_t distance = distanceBetween(votes[at->second].position, votes[i].position);
      if (link.count == 0 || distance < link.distance) link.distance = distance;
      link.a = std::min(a, b);
      link.b = std::max(a, b);
      ++link.count;
    }
  }
  std::vector<Link> sorted;
  sorted.reserve(links.size());
  for (const auto& entry : links) sorted.push_back(entry.second);
  std::sort(sorted.begin(), sorted.end(), [](const Link& x, const Link& y) {
    return x.count != y.count ? x.count > y.count : x.distance < y.distance;
  });
  return sorted;
}

// Each header becomes a run of its own, or marks the run it begins.
std::vector<size_t> headerRuns(const ImageScan& scan, std::vector<Run>& runs, Groups& groups) {
  std::map<int64_t, size_t> byShift;
  for (size_t r = 0; r < runs.size(); ++r) byShift.emplace(runs[r].shift, r);
  std::vector<size_t> found;
  for (size_t h = 0; h < scan.headers.size(); ++h) {
    const HeaderFind& header = scan.headers[h];
    // Another base's header ends this one's piece.
    const uint64_t extent = h + 1 < scan.headers.size()
                                ? std::min<uint64_t>(header.extent, scan.headers[h + 1].position - header.position)
                                : header.extent;
    const auto own = byShift.find(static_cast<int64_t>(header.position));
    if (own != byShift.end() && runs[own->second].baseFirst() >= 0) {
      found.push_back(own->second);
    } else {
      const Run piece{static_cast<int64_t>(header.position), header.position, header.position + extent, 0};
      runs.push_back(piece);
      groups.add(piece);
      found.push_back(runs.size() - 1);
    }
    groups.markHeader(found.back());
  }
  return found;
}

// A header's records name the first blocks of its base's messages: a piece holding many of them,
// and clearly more than of any other header's, is that base's. This comes before chains, which
// can mislead where two bases lay their blocks at the same offsets.
void attachByHeaders(const ImageScan& scan, const std::vector<size_t>& headerRun, const std::vector<BlockVote>& votes,
                     const std::vector<int64_t>& runOfVote, Groups& groups) {
  constexpr int kFewest = 2;
  // Which headers name each first block; a block named by very many is no evidence (a hostile
  // image repeating one header), and is not looked at per vote.
  constexpr size_t kMostNaming = 8;
  std::vector<std::pair<uint32_t, size_t>> naming;  // (first block, header)
  for (size_t h = 0; h < scan.headers.size(); ++h)
    for (const uint32_t block : scan.headers[h].firstBlocks) naming.emplace_back(block, h);
  std::sort(naming.begin(), naming.end());
  std::map<size_t, std::map<size_t, int>> named;  // run -> header -> the first blocks it names there
  for (size_t i = 0; i < votes.size(); ++i) {
    if (runOfVote[i] < 0) continue;
    const auto [first, last] = std::equal_range(naming.begin(), naming.end(), std::make_pair(votes[i].self, size_t{0}),
                                                [](const auto& x, const auto& y) { return x.first < y.first; });
    if (first == last || static_cast<size_t>(last - first) > kMostNaming) continue;
    std::map<size_t, int>& counts = named[static_cast<size_t>(runOfVote[i])];
    for (auto at = first; at != last; ++at) ++counts[at->second];
  }
  for (const auto& [run, counts] : named) {
    size_t header = 0;
    int best = 0, second = 0;
    for (const auto& [h, count] : counts) {
      if (count > best) {
        second = best;
        best = count;
        header = h;
      } else {
        second = std::max(second, count);
      }
    }
    if (best >= kFewest && best >= 2 * second + 1) (void)groups.unite(headerRun[header], run);
  }
}

// A header whose piece ended before its records (nothing named) still goes with the one base
// left without a header, when there is exactly one.
void attachLoneHeaders(const std::vector<Run>& runs, const std::vector<size_t>& headerRun, Groups& groups) {
  std::map<size_t, int> blocksOf;
  for (size_t r = 0; r < runs.size(); ++r) blocksOf[groups.find(r)] += runs[r].blocks;
  std::vector<size_t> lone, headless;
  for (const size_t h : headerRun)
    if (blocksOf[groups.find(h)] == 0) lone.push_back(groups.find(h));
  for (const auto& [group, blocks] : blocksOf)
    if (blocks > 0 && !groups.hasHeader(group)) headless.push_back(group);
  if (lone.size() == 1 && headless.size() == 1) (void)groups.unite(lone.front(), headless.front());
}

// Pieces whose blocks continue one another's exactly (a message ended where the piece did, so no
// chain crosses): the nearest in the image after the end of the other.
void attachAbutting(const std::vector<Run>& runs, Groups& groups) {
  std::multimap<int64_t, size_t> byBaseFirst;
  for (size_t r = 0; r < runs.size(); ++r)
    if (runs[r].blocks > 0) byBaseFirst.emplace(runs[r].baseFirst(), r);
  for (size_t r = 0; r < runs.size(); ++r) {
    if (runs[r].blocks == 0) continue;
    const auto [first, last] = byBaseFirst.equal_range(runs[r].baseEnd());
    std::vector<std::pair<uint64_t, size_t>> candidates;
    size_t looked = 0;
    for (auto at = first; at != last && looked < kMaxLinkTargets; ++at, ++looked) {
      const Run& other = runs[at->second];
      const uint64_t distance = other.imageFirst > runs[r].imageLast ? other.imageFirst - runs[r].imageLast
                                                                     : UINT64_MAX / 2 + runs[r].imageLast - other.imageFirst;
      candidates.emplace_back(distance, at->second);
    }
    std::sort(candidates.begin(), candidates.end());
    for (const auto& [distance, other] : candidates)
      if (groups.unite(r, other)) break;
  }
}

// Pieces of a file start at cluster boundaries, and a file starts at one too: where two pieces
// meet is the offset between them that is a multiple of the largest power of two.
int64_t mostAligned(int64_t low, int64_t high) {
  if (low <= 0) return 0;
  if (low >= high) return low;
  for (uint64_t align = kLargestCluster; align >= 4; align >>= 1) {
    const auto a = static_cast<int64_t>(align);
    const int64_t at = (low + a - 1) / a * a;
    if (at <= high) return at;
  }
  return low;
}

}  // namespace

std::vector<FoundBase> assembleBases(const ImageScan& scan) {
  const std::vector<BlockVote>& votes = scan.votes;
  std::vector<int64_t> runOfVote;
  std::vector<Run> runs = findRuns(votes, runOfVote);
  Groups groups;
  for (const Run& run : runs) groups.add(run);
  // Strongest evidence first: the headers' records, then chains, then blocks that continue
  // one another, and last an origin shared by runs far apart (a base overwritten in the middle;
  // pieces of two bases can share one by chance, so it comes after everything else).
  const std::vector<size_t> headerRun = headerRuns(scan, runs, groups);
  attachByHeaders(scan, headerRun, votes, runOfVote, groups);
  for (const Link& link : findLinks(votes, runOfVote, runs, groups)) (void)groups.unite(link.a, link.b);
  attachAbutting(runs, groups);
  attachLoneHeaders(runs, headerRun, groups);
  {
    std::map<int64_t, size_t> byShift;
    for (size_t r = 0; r < runs.size(); ++r) {
      const auto [at, fresh] = byShift.emplace(runs[r].shift, r);
      if (!fresh) (void)groups.unite(at->second, r);
    }
  }

  // What surely belongs to each run in the image, in image order: no run reaches into another.
  std::vector<std::pair<uint64_t, uint64_t>> taken;
  taken.reserve(runs.size());
  for (const Run& run : runs) taken.emplace_back(run.imageFirst, run.imageLast);
  std::sort(taken.begin(), taken.end());
  const auto imageRoom = [&](const Run& run) {
    auto at = std::lower_bound(taken.begin(), taken.end(), std::make_pair(run.imageFirst, run.imageLast));
    const uint64_t low = at == taken.begin() ? 0 : std::prev(at)->second;
    const uint64_t high = std::next(at) == taken.end() ? scan.imageSize : std::next(at)->first;
    return std::make_pair(low, std::min(high, scan.imageSize));
  };

  std::map<size_t, std::vector<size_t>> members;
  for (size_t r = 0; r < runs.size(); ++r) members[groups.find(r)].push_back(r);

  std::vector<std::pair<uint64_t, FoundBase>> bases;  // with its first place in the image
  for (auto& [root, list] : members) {
    std::sort(list.begin(), list.end(), [&](size_t x, size_t y) { return runs[x].baseFirst() < runs[y].baseFirst(); });
    FoundBase base;
    base.origin = runs[list.front()].shift;
    base.headerSurvived = groups.hasHeader(root);
    uint64_t firstInImage = UINT64_MAX;
    for (size_t k = 0; k < list.size(); ++k) {
      const Run& run = runs[list[k]];
      const auto [imageLow, imageHigh] = imageRoom(run);
      const int64_t previousEnd =
          k == 0 ? 0 : static_cast<int64_t>(runs[list[k - 1]].imageLast) - runs[list[k - 1]].shift;
      int64_t first = mostAligned(std::max(previousEnd, static_cast<int64_t>(imageLow) - run.shift), run.baseFirst());
      int64_t end = k + 1 < list.size()
                        ? mostAligned(static_cast<int64_t>(run.imageLast) - run.shift, runs[list[k + 1]].baseFirst())
                        : run.baseEnd();
      end = std::min({end, static_cast<int64_t>(imageHigh) - run.shift, static_cast<int64_t>(kReachableEnd)});
      first = std::max<int64_t>(0, std::min(first, end));
      if (end <= first) continue;
      const ImageSegment segment{static_cast<uint64_t>(run.shift + first), static_cast<uint32_t>(first),
                                 static_cast<uint32_t>(end - first), run.blocks};
      firstInImage = std::min(firstInImage, segment.imageStart);
      base.blocks += segment.blocks;
      if (!base.pieces.empty() && base.pieces.back().shift() == segment.shift() &&
          base.pieces.back().baseEnd() == segment.baseStart) {
        base.pieces.back().length += segment.length;
        base.pieces.back().blocks += segment.blocks;
      } else {
        base.pieces.push_back(segment);
      }
    }
    if (base.blocks == 0) continue;  // a header alone holds no message
    bases.emplace_back(firstInImage, std::move(base));
  }
  std::sort(bases.begin(), bases.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<FoundBase> found;
  found.reserve(bases.size());
  for (auto& entry : bases) found.push_back(std::move(entry.second));
  return found;
}

}  // namespace vireo::dbx
