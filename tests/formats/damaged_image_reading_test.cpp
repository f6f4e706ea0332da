// The record readers on damaged images: a reference that leaves the file, a
// name without a terminator, a truncated table or an offset at the int32
// limits must end in FormatError, never in a read outside the image.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "tests/formats/single_record_readers.h"
#include "formats/layout.h"
#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "builder/format_tables.h"
#include "builder/model_builder.h"

namespace {

struct Views {
  ModelFile model;
  StripFile strip;
};

Views ViewsOf(const tb::BuiltModel& built, int32_t version) {
  Views v;
  v.model.bytes = {built.model.bytes.data(), static_cast<int64_t>(built.model.bytes.size()), "test.mdl"};
  v.model.layout = LayoutForVersion(version);
  v.strip.bytes = {built.strip.bytes.data(), static_cast<int64_t>(built.strip.bytes.size()), "test.dx80.vtx"};
  return v;
}

ModelRecord FirstSubModel(const Views& v) {
  ModelHeader header = ReadModelHeader(v.model);
  return ReadSubModel(v.model, ReadBodyPart(v.model, header, 0), 0);
}

StripGroup FirstGroup(const Views& v) {
  StripModel model = ReadStripModel(v.strip, ReadStripBodyPart(v.strip, 0), 0);
  return ReadStripGroup(v.strip, ReadStripMesh(v.strip, ReadStripLod(v.strip, model, 0), 0), 0);
}

struct Damage {
  const char* what;
  int32_t version;
  std::function<void(tb::BuiltModel&)> damage;
  std::function<void(const Views&)> read;
  const char* file;  // the file the error must name
};

std::vector<Damage> Damages() {
  auto size = [](const std::vector<uint8_t>& b) { return static_cast<int32_t>(b.size()); };
  return {
      {"bone table at the end of the file", 37,
       [size](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::At(b.model, "header.boneOffset"), size(b.model.bytes)); },
       [](const Views& v) { ReadBone(v.model, ReadModelHeader(v.model), 0); }, "test.mdl"},
      {"bone table before the file", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::At(b.model, "header.boneOffset"), -tb::kBoneSize); },
       [](const Views& v) { ReadBone(v.model, ReadModelHeader(v.model), 0); }, "test.mdl"},
      {"bone name without terminator", 37,
       [](tb::BuiltModel& b) {
         size_t bone = tb::BoneAt(b, 0);  // point at the last byte, which is garbage
         tb::PutI32(b.model.bytes, bone + tb::kBoneName, static_cast<int32_t>(b.model.bytes.size() - 1 - bone));
       },
       [](const Views& v) { BoneName(v.model, ReadBone(v.model, ReadModelHeader(v.model), 0)); }, "test.mdl"},
      {"surface property past the end", 33,
       [size](tb::BuiltModel& b) {
         tb::PutI32(b.model.bytes, tb::At(b.model, "header.surfacePropOffset"), size(b.model.bytes));
       },
       [](const Views& v) { SurfacePropName(v.model, ReadModelHeader(v.model)); }, "test.mdl"},
      {"material folder before the file", 29,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::At(b.model, "materialFolders"), -1); },
       [](const Views& v) { MaterialFolderName(v.model, ReadModelHeader(v.model), 0); }, "test.mdl"},
      {"header cut short", 37, [](tb::BuiltModel& b) { b.model.bytes.resize(320); },
       [](const Views& v) { ReadModelHeader(v.model); }, "test.mdl"},
      {"version field cut short", 37, [](tb::BuiltModel& b) { b.model.bytes.resize(6); },
       [](const Views& v) { ReadModelVersion(v.model.bytes); }, "test.mdl"},
      {"vertex table cut short", 37,
       [](tb::BuiltModel& b) { b.model.bytes.resize(tb::VertexAt(b, 0, 0, 23) + 60); },
       [](const Views& v) { ReadVertex(v.model, FirstSubModel(v), 23); }, "test.mdl"},
      {"normal array past the end", 30,
       [](tb::BuiltModel& b) {
         size_t sub = tb::SubModelAt(b, 0, 0);
         tb::PutI32(b.model.bytes, sub + tb::kSubModelNormalOffset, static_cast<int32_t>(b.model.bytes.size() - sub - 6));
       },
       [](const Views& v) { ReadVertex(v.model, FirstSubModel(v), 0); }, "test.mdl"},
      {"mesh offset at the int32 minimum", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.model.bytes, tb::SubModelAt(b, 0, 0) + tb::kSubModelMeshOffset, INT_MIN); },
       [](const Views& v) { ReadMesh(v.model, FirstSubModel(v), 0); }, "test.mdl"},
      {"strip groups at the int32 maximum", 37,
       [](tb::BuiltModel& b) {
         tb::PutI32(b.strip.bytes, tb::StripMeshAt(b, 0, 0, 0, 0) + tb::kStripMeshGroupOffset, INT_MAX);
       },
       [](const Views& v) { FirstGroup(v); }, "test.dx80.vtx"},
      {"index entry across the end", 37,
       [](tb::BuiltModel& b) {
         size_t group = tb::StripGroupAt(b, 0, 0, 0, 0, 0);
         tb::PutI32(b.strip.bytes, group + tb::kStripGroupIndexOffset,
                    static_cast<int32_t>(b.strip.bytes.size() - group - 1));
       },
       [](const Views& v) { ReadStripIndex(v.strip, FirstGroup(v), 0); }, "test.dx80.vtx"},
      {"strip body parts before the file", 37,
       [](tb::BuiltModel& b) { tb::PutI32(b.strip.bytes, tb::kStripHeaderBodyPartOffset, -8); },
       [](const Views& v) { ReadStripBodyPart(v.strip, 0); }, "test.dx80.vtx"},
  };
}

TEST(DamagedImageReading, ReferencesOutsideTheFileThrowFormatError) {
  for (const Damage& d : Damages()) {
    tb::BuiltModel built = tb::BuildModel(tb::BoxModel(d.version), tb::GarbageEverywhere(11));
    ASSERT_NO_THROW(d.read(ViewsOf(built, d.version))) << d.what << ": the undamaged image must read";
    d.damage(built);
    try {
      d.read(ViewsOf(built, d.version));
      ADD_FAILURE() << d.what << ": no FormatError";
    } catch (const FormatError& e) {
      EXPECT_EQ(e.fileName, d.file) << d.what;
      EXPECT_NE(std::string(e.what()).find(d.file), std::string::npos) << d.what << ": " << e.what();
    }
  }
}

TEST(DamagedImageReading, ExtremeIndicesThrowInsteadOfWrapping) {
  for (int32_t version : {37, 31, 29}) {
    tb::BuiltModel built = tb::BuildModel(tb::BoxModel(version));
    Views v = ViewsOf(built, version);
    ModelRecord sub = FirstSubModel(v);
    EXPECT_THROW(ReadMesh(v.model, sub, INT_MAX), FormatError) << version;
    EXPECT_THROW(ReadVertex(v.model, sub, INT_MIN), FormatError) << version;
    EXPECT_THROW(ReadVertex(v.model, sub, INT_MAX), FormatError) << version;
    EXPECT_THROW(ReadStripVertexIndex(v.strip, FirstGroup(v), INT64_C(1) << 40), FormatError) << version;
    EXPECT_THROW(ReadStripIndex(v.strip, FirstGroup(v), -(INT64_C(1) << 40)), FormatError) << version;
  }
}

TEST(DamagedImageReading, TableChecksAcceptEmptyTablesAndRefuseCountsTheFileCannotHold) {
  tb::BuiltModel built = tb::BuildModel(tb::BoxModel(37));
  Views v = ViewsOf(built, 37);
  const int64_t size = v.model.bytes.size;
  const int64_t vertices = static_cast<int64_t>(tb::VertexAt(built, 0, 0, 0));
  struct Row {
    int64_t pos;
    int32_t count;
    int64_t recordSize;
    bool fits;
  };
  const Row rows[] = {
      {vertices, 24, tb::kVertexSize, true},          // the real table
      {vertices, 0, tb::kVertexSize, true},           // empty, wherever it points
      {-1000, -5, tb::kVertexSize, true},             // negative counts are empty too
      {size, INT_MIN, tb::kEarlySequenceSize, true},
      {size - 8, 2, 4, true},                         // ends exactly at the end
      {size - 8, 3, 4, false},
      {-4, 1, 4, false},
      {0, INT_MAX, tb::kEarlySequenceSize, false},    // a small file can not back a hostile count
  };
  for (const Row& row : rows) {
    if (row.fits)
      EXPECT_NO_THROW(CheckTable(v.model.bytes, row.pos, row.count, row.recordSize, "table")) << row.count;
    else
      EXPECT_THROW(CheckTable(v.model.bytes, row.pos, row.count, row.recordSize, "table"), FormatError) << row.count;
  }
}

}  // namespace
