#include "builder/image_assembler.h"

#include <functional>
#include <limits>
#include <map>
#include <stdexcept>

namespace tb {

Assembly StartAssembly(const BuildOptions& options) {
  Assembly assembly;
  assembly.garbage = options.garbage;
  // xorshift must not start from 0.
  assembly.garbageState = options.garbageSeed == 0 ? 0x9e3779b9u : options.garbageSeed;
  return assembly;
}

uint8_t NextFiller(Assembly& assembly) {
  if (!assembly.garbage) return 0;
  uint32_t x = assembly.garbageState;
  x ^= x << 13;
  x ^= x >> 17;
  x ^= x << 5;
  assembly.garbageState = x;
  return static_cast<uint8_t>(1 + (x >> 8) % 255);
}

int AddBlock(Assembly& assembly, const std::string& name, size_t size, size_t recordSize, int parent, size_t align) {
  PendingBlock block;
  block.name = name;
  block.bytes.resize(size);
  for (uint8_t& b : block.bytes) b = NextFiller(assembly);
  block.recordSize = recordSize;
  block.parent = parent;
  block.align = align == 0 ? 1 : align;
  assembly.blocks.push_back(std::move(block));
  return static_cast<int>(assembly.blocks.size() - 1);
}

size_t AddString(Assembly& assembly, int pool, const std::string& text) {
  std::vector<uint8_t>& bytes = BytesOf(assembly, pool);
  size_t at = bytes.size();
  bytes.insert(bytes.end(), text.begin(), text.end());
  bytes.push_back(0);
  return at;
}

void LinkFromRecord(Assembly& assembly, int holder, size_t field, size_t base, const std::string& target,
                    size_t targetInner) {
  assembly.links.push_back({holder, field, base, false, target, targetInner});
}

void LinkFromFileStart(Assembly& assembly, int holder, size_t field, const std::string& target, size_t targetInner) {
  assembly.links.push_back({holder, field, 0, true, target, targetInner});
}

void MarkPosition(Assembly& assembly, const std::string& name, int block, size_t inner, size_t size) {
  assembly.marks.push_back({name, block, inner, size});
}

std::vector<uint8_t>& BytesOf(Assembly& assembly, int block) { return assembly.blocks.at(block).bytes; }

bool MatchesPattern(const std::string& pattern, const std::string& name) {
  // Classic wildcard match with backtracking to the last '*'.
  size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

namespace {

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name) {
  for (const std::string& pattern : patterns)
    if (MatchesPattern(pattern, name)) return true;
  return false;
}

// Tree order: a block comes before its children, except the children asked to
// lie before their base, which come right before it. The file header stays first.
std::vector<int> PlacementOrder(const Assembly& assembly, const BuildOptions& options) {
  std::vector<std::vector<int>> children(assembly.blocks.size());
  std::vector<int> roots;
  for (size_t i = 0; i < assembly.blocks.size(); ++i) {
    int parent = assembly.blocks[i].parent;
    if (parent < 0)
      roots.push_back(static_cast<int>(i));
    else
      children.at(parent).push_back(static_cast<int>(i));
  }
  std::vector<int> order;
  std::function<void(int)> emit = [&](int block) {
    bool isRoot = assembly.blocks[block].parent < 0;
    auto before = [&](int child) { return !isRoot && MatchesAny(options.beforeBase, assembly.blocks[child].name); };
    for (int child : children[block])
      if (before(child)) emit(child);
    order.push_back(block);
    for (int child : children[block])
      if (!before(child)) emit(child);
  };
  for (int root : roots) emit(root);
  return order;
}

}  // namespace

BuiltFile Assemble(Assembly& assembly, const BuildOptions& options) {
  BuiltFile file;
  std::vector<size_t> position(assembly.blocks.size(), 0);
  std::map<std::string, int> byName;
  for (size_t i = 0; i < assembly.blocks.size(); ++i)
    if (!byName.emplace(assembly.blocks[i].name, static_cast<int>(i)).second)
      throw std::logic_error("two blocks named " + assembly.blocks[i].name);

  std::vector<uint8_t>& out = file.bytes;
  auto fill = [&](size_t count) {
    for (size_t k = 0; k < count; ++k) out.push_back(NextFiller(assembly));
  };
  bool first = true;
  for (int index : PlacementOrder(assembly, options)) {
    const PendingBlock& block = assembly.blocks[index];
    if (!first) {
      fill(options.gapBytes);
      if (MatchesAny(options.oddBlocks, block.name)) {
        if (out.size() % 2 == 0) fill(1);
      } else {
        fill((block.align - out.size() % block.align) % block.align);
      }
    }
    first = false;
    position[index] = out.size();
    out.insert(out.end(), block.bytes.begin(), block.bytes.end());
    file.blocks[block.name] = Block{position[index], block.bytes.size(), block.recordSize};
  }
  fill(options.gapBytes);

  for (const PendingLink& link : assembly.links) {
    auto target = byName.find(link.target);
    if (target == byName.end()) throw std::logic_error("link to missing block " + link.target);
    int64_t to = static_cast<int64_t>(position[target->second] + link.targetInner);
    int64_t from = link.fromFileStart ? 0 : static_cast<int64_t>(position[link.holder] + link.base);
    int64_t value = to - from;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
      throw std::length_error("offset to " + link.target + " does not fit 32 bits");
    PutI32(out, position[link.holder] + link.field, static_cast<int32_t>(value));
  }
  for (const PendingMark& mark : assembly.marks)
    file.blocks[mark.name] = Block{position[mark.block] + mark.inner, mark.size, 0};
  return file;
}

}  // namespace tb
