// The model as glTF 2.0 binary files (.glb): one file with the skeleton, the
// meshes of level of detail 0, the materials by name and the animations, and
// one per lower level k with the skeleton and that level's meshes only
// (no animations), holding the same values as the SMD files of the model.
// Importers show every node of a file; keeping each level in a file of its
// own shows level 0 alone on import. A pure function: it
// reads the loaded files and returns the file's bytes and its messages;
// writing and logging are the caller's.
//
// Layout of the file:
//   - node 0, named after the model, turns the Z-up model to glTF's Y-up
//     (-90 degrees about X) and holds the root bones; units are kept;
//   - one node per bone (gltf/skeleton_nodes.h) and one skin over all bones;
//   - per sub-model with vertices, a mesh and a node of the file's level,
//     named like its SMD file (gltf/mesh_nodes.h);
//   - one scene, the default, named after the model ("<model> LOD <k>" in a
//     lower level's file), holding node 0 and the mesh nodes. Skinned mesh
//     nodes stay at the top of the node tree, as glTF ignores the transforms
//     above them; a model without bones has static meshes under node 0;
//   - one material per texture name the meshes use, carrying the name; no
//     images;
//   - level 0 only: one animation per animation description
//     (gltf/animation_channels.h).
//
// Bad data: a FormatError anywhere abandons the whole file (the caller
// discards what was written) with
// one message "Bad data: <item>: <what>", and sets hadErrors. Values the SMD
// files carry as stored but glTF cannot hold (a vertex bone outside the bone
// table, a bone whose parent is not an earlier bone, numbers that are not
// finite, normals not of unit length) are replaced in the documented way and
// noted in one line each; they are not bad data and leave hadErrors as it is.
// A lower level's file notes only its meshes' values: the level-0 file notes
// the skeleton's.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/model_records.h"
#include "formats/strip_records.h"
#include "io/output_file.h"
#include "model/model_geometry.h"

class WorkPool;

struct GlbResult {
  bool built = false;                 // the file is complete; false when abandoned
  int64_t size = 0;                   // its length in bytes
  std::string bytes;                  // the file, when no output file was given
  std::vector<std::string> messages;  // each a full log line ending in "\n", in order
  bool hadErrors = false;             // bad data met: the run must end with status 2
  bool outputLimitReached = false;    // abandoned: it would pass `outputLimit`
  int32_t meshNodes = 0;              // mesh nodes of the level: 0 when it draws nothing
  // Names from the model written changed ('_' for each byte no output may
  // carry), as stored, in the order first met; the caller says so.
  std::vector<std::string> changedNames;
};

// `generator` names the tool and its version for asset.generator. A non-zero
// `outputLimit` abandons the file once its binary data would pass that many
// bytes, before they are held in memory, or once its animations stand for
// more SMD text than that (gltf/animation_channels.h). Long animations are
// sampled in parts on `pool` where there is one; the bytes and messages are
// the same with or without it. `geometry` is the read layer's walk of the two
// files; without it the meshes are walked here. `lod` picks the file: 0 the
// main one, k > 0 the file of level k. The bytes go to `out`, open and empty;
// without one, into the result's `bytes`.
GlbResult BuildGlb(const ModelFile& model, const StripFile& strip, std::string_view generator,
                   uint64_t outputLimit = 0, WorkPool* pool = nullptr, const ModelGeometry* geometry = nullptr,
                   int32_t lod = 0, OutputFile* out = nullptr);
