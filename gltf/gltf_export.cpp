#include "gltf/gltf_export.h"

#include <cstdio>
#include <new>
#include <utility>

#include "gltf/animation_channels.h"
#include "gltf/glb_build.h"
#include "gltf/glb_container.h"
#include "gltf/mesh_nodes.h"
#include "gltf/skeleton_nodes.h"

namespace {

constexpr const char* kLowerLods = "lower levels of detail";

void AddScenes(GlbBuild& build) {
  GltfDocument& document = build.document;
  Json& nodes = document.Root()["nodes"];
  Json& root = nodes[static_cast<size_t>(build.rootNode)];
  const std::string modelName = root["name"];
  Json defaultScene = Json::array({build.rootNode});
  Json lowerScene = Json::array();
  if (build.skin >= 0) {
    for (int node : build.lodZeroNodes) defaultScene.push_back(node);
    if (!build.lowerLodNodes.empty()) lowerScene.push_back(build.rootNode);
    for (int node : build.lowerLodNodes) lowerScene.push_back(node);
  } else {
    for (int node : build.lodZeroNodes) root["children"].push_back(node);
    if (!build.lowerLodNodes.empty()) {
      lowerScene.push_back(document.Add(
          "nodes", Json{{"name", kLowerLods}, {"rotation", YUpRotation()}, {"children", build.lowerLodNodes}}));
    }
  }
  document.Add("scenes", Json{{"name", modelName}, {"nodes", std::move(defaultScene)}});
  if (!lowerScene.empty()) document.Add("scenes", Json{{"name", kLowerLods}, {"nodes", std::move(lowerScene)}});
  document.Root()["scene"] = 0;
}

std::string RepairsLine(const Repairs& repairs) {
  char line[200];
  std::snprintf(line, sizeof line,
                "glb: values glTF cannot hold were replaced: %lld numbers that are not finite, %lld normals not of "
                "unit length\n",
                static_cast<long long>(repairs.notFinite), static_cast<long long>(repairs.normalLength));
  return line;
}

}  // namespace

GlbResult BuildGlb(const ModelFile& model, const StripFile& strip, std::string_view generator,
                   uint64_t outputLimit, WorkPool* pool, const ModelGeometry* geometry) {
  GlbResult result;
  ModelGeometry walked;
  if (geometry == nullptr) {
    walked = WalkModelGeometry(model, strip);
    geometry = &walked;
  }
  GlbBuild build(model, strip, *geometry, generator);
  build.pool = pool;
  build.outputLimit = outputLimit;
  build.document.Binary().SetOutputLimit(outputLimit);
  try {
    build.header = ReadModelHeader(model);
    AddSkeleton(build);
    AddMeshes(build);
    AddAnimations(build);
    AddScenes(build);
    const std::string json = build.document.Serialise();
    result.bytes = AssembleGlb(json, build.document.Binary());
  } catch (const FormatError& error) {
    // The file is abandoned: what was reported about it goes with it.
    result.messages = {"Bad data: " + DescribePlace(build.place) + ": " + error.what() + "\n"};
    result.hadErrors = true;
    return result;
  } catch (const GlbTooLarge& tooLarge) {
    if (tooLarge.outputLimit) {
      result.outputLimitReached = true;
      return result;
    }
    result.messages = {"glb abandoned: it needs at least " + std::to_string(tooLarge.needed) +
                       " bytes, more than the " + std::to_string(kMaxGlbBytes) + " a .glb can hold\n"};
    result.hadErrors = true;
    return result;
  } catch (const std::bad_alloc&) {
    result.messages = {"glb abandoned: not enough memory to build it\n"};
    result.hadErrors = true;
    return result;
  }
  result.messages = std::move(build.messages);
  result.changedNames = std::move(build.changedNames);
  if (build.repairs.notFinite > 0 || build.repairs.normalLength > 0)
    result.messages.push_back(RepairsLine(build.repairs));
  result.hadErrors = build.hadErrors;
  return result;
}
