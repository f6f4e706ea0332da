// The files a conversion writes, decided before the first byte is written:
// each file's name, kind, the item it comes from, in the order they are
// written. Writers take their names from here and pick none of their own.
//
// Names that collide. Sub-model names and animation names reduce to file
// names ("door_37" and "door_37.x" both give door_37.smd; a sub-model and an
// animation called "run" both give run.smd). The first item keeps its name.
// A later one is written under its name with "_<n>" added before ".smd", for
// the smallest n from 2 up that gives names no item asks for and no earlier
// item was given. A sub-model's files are renamed together, so its level-of-
// detail files keep the base of its level-0 file (lod1_door_37_2.smd), and
// dec.qc names the files as written. Where no names collide, every name is
// the one its item asks for.
//
// The .glb files: "<model>.glb" holds level of detail 0, and each lower
// level k that a sub-model with vertices has gets "<model>_lod<k>.glb". They
// are the only .glb files and differ in their ends, so they collide with no
// other name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/model_records.h"
#include "model/model_geometry.h"

enum class OutputKind { Script, Mesh, Animation, Glb, LodGlb, Preview };

struct PlannedFile {
  OutputKind kind = OutputKind::Script;
  int32_t bodyPart = -1, subModel = -1, lod = -1;  // a mesh file; lod: a lower level's .glb too
  int32_t animation = -1;                          // an animation file
  std::string wanted;  // the name its item asks for
  std::string name;    // the name it is written under
  // A mesh file: its sub-model's base as written ("door_37_2"); an animation
  // file: its name without ".smd".
  std::string base;
  bool Renamed() const { return name != wanted; }
};

struct OutputPlan {
  // In the order they are written, which is also the order of (kind, body
  // part, sub-model, level of detail, animation): lookups search it.
  std::vector<PlannedFile> files;

  const PlannedFile* MeshFile(int32_t bodyPart, int32_t subModel, int32_t lod) const;
  const PlannedFile* AnimationFile(int32_t animation) const;
  // The first planned file of a sub-model, or nullptr.
  const PlannedFile* SubModelFile(int32_t bodyPart, int32_t subModel) const;
};

// The base name of a sub-model's mesh files: the name as written, with
// backslashes as slashes and without its extension; nullopt when the written
// name does not fit a 256-byte name buffer.
std::optional<std::string> MeshBaseName(std::string_view stored);
// "<base>.smd" for level 0, "lod<k>_<base>.smd" for the others; nullopt when
// it does not fit a 256-byte name buffer.
std::optional<std::string> MeshFileName(const std::string& base, int32_t lod);
// The longest animation name a file name can hold ("<name>.smd" in 256 bytes).
constexpr size_t kMaxAnimationNameLength = 251;

struct PlanChoice {
  bool smd = true;           // dec.qc, mesh and animation files
  std::string glbName;       // "<model>.glb"; empty: no .glb
  bool preview = false;
};

// The plan for a model whose geometry was walked.
OutputPlan PlanOutputs(const ModelFile& model, const ModelGeometry& geometry, const PlanChoice& choice);

// "File name taken: <wanted> (<item>) is written as <name>\n" for a renamed
// file; empty for one that keeps its name.
std::string RenameLine(const PlannedFile& file);
