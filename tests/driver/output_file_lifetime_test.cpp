// An output file cleans up after itself on every path: a writer that ends by
// an exception leaves no temporary file and no open descriptor, and a file
// handed over by a move is committed once, by its new owner.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "io/output_file.h"
#include "io/output_folder.h"
#include "tests/tool_runner/tool_runner.h"

namespace fs = std::filesystem;

namespace {

int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const fs::directory_entry& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

struct FolderUnderTest {
  ScratchDir dir;
  OutputFolder folder;
  Destination to;
  FolderUnderTest() {
    std::string error;
    EXPECT_TRUE(OpenNamedFolder(folder, dir.path.string(), error)) << error;
    to = Destination{&folder, MessageSink{}, false};
  }
  ~FolderUnderTest() { CloseOutputFolder(folder); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path)) names.push_back(entry.path().filename());
    return names;
  }
};

TEST(OutputFileLifetime, AnExceptionBetweenOpenAndCommitLeavesNothingBehind) {
  FolderUnderTest folder;
  const int before = OpenDescriptors();
  try {
    OutputFile out;
    ASSERT_EQ(OpenOutputFile(folder.to, out, "sub.smd"), OpenResult::Opened);
    PutText(out, "half a file\n");
    throw std::runtime_error("not a format error");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_TRUE(folder.Names().empty());
}

TEST(OutputFileLifetime, AMovedFileIsCommittedOnceByItsNewOwner) {
  FolderUnderTest folder;
  const int before = OpenDescriptors();
  {
    OutputFile first;
    ASSERT_EQ(OpenOutputFile(folder.to, first, "kept.smd"), OpenResult::Opened);
    PutText(first, "whole\n");
    OutputFile second = std::move(first);
    OutputFile third;
    third = std::move(second);
    EXPECT_TRUE(CloseOutputFile(folder.to, third));
  }
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"kept.smd"});
}

}  // namespace
