// A conversion is a value: any number of workers, and several conversions at
// once in one process, give the same console, log, files and exit status as
// one conversion on one thread.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/run_tool.h"
#include "io/work_pool.h"
#include "builder/model_builder.h"
#include "tests/support/scratch_conversion.h"
#include "tools/sample_model.h"

namespace fs = std::filesystem;

namespace {

struct ConversionResult {
  int status = -1;
  std::string console;
  std::map<std::string, std::string> files;  // streams.log included; dec.qc without its "$cd" line

  bool operator==(const ConversionResult&) const = default;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Converts the images into a fresh folder with `jobs` workers, `pool` shared
// when given.
ConversionResult Convert(const tb::BuiltModel& built, int jobs, WorkPool* shared = nullptr) {
  ScratchConversion scratch;
  fs::create_directory(scratch.path / "present");
  std::unique_ptr<WorkPool> own;
  WorkPool* pool = shared;
  if (pool == nullptr && jobs > 1) {
    own = std::make_unique<WorkPool>(jobs - 1);
    pool = own.get();
  }
  const std::vector<uint8_t>& m = built.model.bytes;
  const std::vector<uint8_t>& s = built.strip.bytes;
  ConversionResult result;
  result.status = ConvertImages(m.data(), static_cast<int64_t>(m.size()), "m.mdl", s.data(),
                                static_cast<int64_t>(s.size()), "m.dx80.vtx", scratch.conv.to, Parallelism{pool, jobs});
  CloseLogChannel(scratch.channel);
  result.console = scratch.console;
  for (const auto& entry : fs::recursive_directory_iterator(scratch.path)) {
    if (!entry.is_regular_file()) continue;
    std::string name = fs::relative(entry.path(), scratch.path).string();
    std::string text = ReadAll(entry.path());
    if (name == "dec.qc") text = text.substr(text.find('\n') + 1);
    result.files[name] = text;
  }
  return result;
}

// The sample model of a family with more files, and one sub-model and one
// animation whose files cannot be created (their folder is missing) between
// others that can.
tb::ModelDescription BusyModel(int32_t version) {
  tb::ModelDescription model = SampleModel(version);
  tb::ModelDescription more = SampleModel(version);
  for (tb::BodyPartDescription& part : more.bodyParts) {
    for (tb::SubModelDescription& sub : part.subModels) sub.name = "present/" + sub.name;
    model.bodyParts.push_back(part);
  }
  model.bodyParts[0].subModels[0].name = "missing/arm_box.smd";
  for (int copy = 0; copy < 3; ++copy) {
    for (tb::AnimationDescription animation : more.animations) {
      animation.name += std::to_string(copy);
      if (copy == 1) animation.name = "missing/" + animation.name;
      model.animations.push_back(animation);
    }
  }
  return model;
}

// Damaged copies: cut short, or with bytes overwritten, at places drawn from a
// fixed seed.
std::vector<tb::BuiltModel> Variants(const tb::BuiltModel& intact, uint32_t seed) {
  std::vector<tb::BuiltModel> variants = {intact};
  std::mt19937 random(seed);
  for (int i = 0; i < 12; ++i) {
    tb::BuiltModel damaged = intact;
    std::vector<uint8_t>& bytes = i % 2 ? damaged.model.bytes : damaged.strip.bytes;
    if (i % 3 == 0) {
      bytes.resize(8 + random() % (bytes.size() - 8));
    } else {
      for (int n = 0; n < 4; ++n) bytes[8 + random() % (bytes.size() - 8)] = static_cast<uint8_t>(random());
    }
    variants.push_back(damaged);
  }
  return variants;
}

TEST(ParallelConversion, EveryWorkerCountGivesTheSameRun) {
  for (int32_t version : {28, 31, 37}) {
    const tb::BuiltModel intact = tb::BuildModel(BusyModel(version));
    EXPECT_NE(Convert(intact, 1).console.find("Can't open: missing/"), std::string::npos);
    for (const tb::BuiltModel& built : Variants(intact, static_cast<uint32_t>(version))) {
      const ConversionResult one = Convert(built, 1);
      for (int jobs : {2, 8}) {
        const ConversionResult many = Convert(built, jobs);
        EXPECT_EQ(many.status, one.status) << "version " << version << " jobs " << jobs;
        EXPECT_EQ(many.console, one.console) << "version " << version << " jobs " << jobs;
        EXPECT_EQ(many.files, one.files) << "version " << version << " jobs " << jobs;
      }
    }
  }
}

TEST(ParallelConversion, TwoConversionsAtOnceInOneProcess) {
  const tb::BuiltModel first = tb::BuildModel(BusyModel(37));
  const tb::BuiltModel second = tb::BuildModel(BusyModel(28));
  const ConversionResult firstAlone = Convert(first, 1);
  const ConversionResult secondAlone = Convert(second, 1);
  WorkPool shared(2);
  for (int round = 0; round < 5; ++round) {
    ConversionResult a, b;
    std::thread one([&] { a = Convert(first, 2, &shared); });
    std::thread two([&] { b = Convert(second, 2, &shared); });
    one.join();
    two.join();
    EXPECT_EQ(a, firstAlone) << "round " << round;
    EXPECT_EQ(b, secondAlone) << "round " << round;
  }
}

}  // namespace
