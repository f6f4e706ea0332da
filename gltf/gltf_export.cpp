#include "gltf/gltf_export.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <utility>

#include "gltf/animation_channels.h"
#include "gltf/glb_build.h"
#include "gltf/glb_container.h"
#include "gltf/json_estimate.h"
#include "gltf/mesh_nodes.h"
#include "gltf/skeleton_nodes.h"

namespace {

// The most room left for the JSON text before the binary chunk: a longer
// text widens it.
constexpr int64_t kMostJsonRoom = int64_t{256} << 20;

// One scene, the default: the skeleton's top node and the level's meshes.
// Skinned mesh nodes stay at the top of the node tree, as glTF ignores the
// transforms above them; a model without bones has its static meshes under
// the top node, which turns them to Y-up.
void AddScene(GlbBuild& build) {
  GltfDocument& document = build.document;
  Json& root = document.Root()["nodes"][static_cast<size_t>(build.rootNode)];
  std::string name = root["name"];
  if (build.lod > 0) name += " LOD " + std::to_string(build.lod);
  Json sceneNodes = Json::array({build.rootNode});
  for (int node : build.meshNodes) (build.skin >= 0 ? sceneNodes : root["children"]).push_back(node);
  document.Add("scenes", Json{{"name", std::move(name)}, {"nodes", std::move(sceneNodes)}});
  document.Root()["scene"] = 0;
}

std::string RepairsLine(const Repairs& repairs, int32_t lod) {
  const std::string file = lod == 0 ? "glb" : "glb LOD " + std::to_string(lod);
  char line[240];
  std::snprintf(line, sizeof line,
                "%s: values glTF cannot hold were replaced: %lld numbers that are not finite, %lld normals not of "
                "unit length\n",
                file.c_str(), static_cast<long long>(repairs.notFinite), static_cast<long long>(repairs.normalLength));
  return line;
}

}  // namespace

GlbResult BuildGlb(const ModelFile& model, const StripFile& strip, std::string_view generator,
                   uint64_t outputLimit, WorkPool* pool, const ModelGeometry* geometry, int32_t lod,
                   OutputFile* out) {
  GlbResult result;
  OutputFile inMemory;
  if (out == nullptr) {
    OpenOutputToString(inMemory, result.bytes);
    out = &inMemory;
  }
  ModelGeometry walked;
  if (geometry == nullptr) {
    walked = WalkModelGeometry(model, strip);
    geometry = &walked;
  }
  GlbBuild build(model, strip, *geometry, generator);
  build.pool = pool;
  build.outputLimit = outputLimit;
  build.lod = lod;
  build.document.Binary().SetOutputLimit(outputLimit);
  try {
    build.header = ReadModelHeader(model);
    AddSkeleton(build);
    if (lod > 0) {
      // The level-0 file said all there is to say about the skeleton.
      build.messages.clear();
      build.repairs = Repairs{};
    }
    // The skeleton's few bytes are held; the rest goes to the file as it is made.
    build.document.Binary().StreamTo(*out, GlbHeadRoom(std::min(EstimateJsonBytes(build), kMostJsonRoom)));
    AddMeshes(build);
    if (lod == 0) AddAnimations(build);
    AddScene(build);
    result.meshNodes = static_cast<int32_t>(build.meshNodes.size());
    result.size = FinishGlb(build.document.Serialise(), build.document.Binary());
    result.built = true;
  } catch (const FormatError& error) {
    // The file is abandoned: what was reported about it goes with it.
    result.bytes.clear();
    result.messages = {"Bad data: " + DescribePlace(build.place) + ": " + error.what() + "\n"};
    result.hadErrors = true;
    return result;
  } catch (const GlbTooLarge& tooLarge) {
    result.bytes.clear();
    if (tooLarge.outputLimit) {
      result.outputLimitReached = true;
      return result;
    }
    result.messages = {"glb abandoned: it needs at least " + std::to_string(tooLarge.needed) +
                       " bytes, more than the " + std::to_string(kMaxGlbBytes) + " a .glb can hold\n"};
    result.hadErrors = true;
    return result;
  } catch (const std::bad_alloc&) {
    result.bytes.clear();
    result.messages = {"glb abandoned: not enough memory to build it\n"};
    result.hadErrors = true;
    return result;
  }
  if (out == &inMemory) FinishOutputFile(inMemory);
  result.messages = std::move(build.messages);
  result.changedNames = std::move(build.changedNames);
  if (build.repairs.notFinite > 0 || build.repairs.normalLength > 0)
    result.messages.push_back(RepairsLine(build.repairs, lod));
  result.hadErrors = build.hadErrors;
  return result;
}
