#include "import/validate.h"

#include <vector>

#include "import/accessors.h"

namespace kxm::gltfin {

namespace {

template <class List>
bool names(const List& list, int index, const std::string& where, const char* what,
           std::string& error) {
  if (index >= 0 && static_cast<std::size_t>(index) < list.size()) return true;
  error = where + ": " + std::to_string(index) + " names no " + what;
  return false;
}

// Each node has one parent at most and is not its own ancestor: with one parent each, a cycle is
// a set of nodes no root reaches, found by walking down from the roots with a stack of our own.
bool checkNodes(const tinygltf::Model& model, std::string& error) {
  const std::size_t n = model.nodes.size();
  std::vector<int> parent(n, -1);
  for (std::size_t i = 0; i < n; ++i) {
    const tinygltf::Node& node = model.nodes[i];
    const std::string where = "/nodes/" + std::to_string(i);
    for (std::size_t c = 0; c < node.children.size(); ++c) {
      const int child = node.children[c];
      const std::string at = where + "/children/" + std::to_string(c);
      if (!names(model.nodes, child, at, "node", error)) return false;
      if (parent[static_cast<std::size_t>(child)] >= 0 || child == static_cast<int>(i)) {
        error = at + ": node " + std::to_string(child) + " has a parent already, or is itself";
        return false;
      }
      parent[static_cast<std::size_t>(child)] = static_cast<int>(i);
    }
    if (node.mesh >= 0 && !names(model.meshes, node.mesh, where + "/mesh", "mesh", error))
      return false;
    if (node.skin >= 0 && !names(model.skins, node.skin, where + "/skin", "skin", error))
      return false;
    if (!node.matrix.empty() && node.matrix.size() != 16) {
      error = where + "/matrix: " + std::to_string(node.matrix.size()) + " numbers, not 16";
      return false;
    }
  }
  std::vector<bool> reached(n, false);
  std::vector<std::size_t> stack;
  for (std::size_t i = 0; i < n; ++i)
    if (parent[i] < 0) stack.push_back(i);
  while (!stack.empty()) {
    const std::size_t i = stack.back();
    stack.pop_back();
    reached[i] = true;
    for (const int child : model.nodes[i].children)
      stack.push_back(static_cast<std::size_t>(child));
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (!reached[i]) {
      error = "/nodes/" + std::to_string(i) + "/children: the node is its own ancestor";
      return false;
    }
  }
  for (std::size_t s = 0; s < model.scenes.size(); ++s) {
    for (std::size_t r = 0; r < model.scenes[s].nodes.size(); ++r) {
      const int node = model.scenes[s].nodes[r];
      const std::string at = "/scenes/" + std::to_string(s) + "/nodes/" + std::to_string(r);
      if (!names(model.nodes, node, at, "node", error)) return false;
      if (parent[static_cast<std::size_t>(node)] >= 0) {
        error = at + ": node " + std::to_string(node) + " is not a root";
        return false;
      }
    }
  }
  return true;
}

bool usesQuantization(const tinygltf::Model& model) {
  for (const std::string& name : model.extensionsUsed)
    if (name == kMeshQuantization) return true;
  return false;
}

// An attribute's accessor with one of the types its use allows; with KHR_mesh_quantization,
// positions and texture coordinates may be any 8- or 16-bit integers, normals signed normalized.
bool checkAttribute(const tinygltf::Model& model, const std::string& name, int a,
                    const std::string& at, std::string& error) {
  if (!names(model.accessors, a, at, "accessor", error)) return false;
  const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(a)];
  const int type = accessor.type, component = accessor.componentType;
  const bool isFloat = component == TINYGLTF_COMPONENT_TYPE_FLOAT;
  const bool unsignedInt = component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                           component == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
  const bool signedInt =
      component == TINYGLTF_COMPONENT_TYPE_BYTE || component == TINYGLTF_COMPONENT_TYPE_SHORT;
  const bool quantized = usesQuantization(model);
  bool ok = true;
  if (name == "POSITION") {
    ok = type == TINYGLTF_TYPE_VEC3 && (isFloat || (quantized && (signedInt || unsignedInt)));
  } else if (name == "NORMAL") {
    ok = type == TINYGLTF_TYPE_VEC3 && (isFloat || (quantized && signedInt && accessor.normalized));
  } else if (name.rfind("TEXCOORD_", 0) == 0) {
    ok = type == TINYGLTF_TYPE_VEC2 && (isFloat || (unsignedInt && accessor.normalized) ||
                                        (quantized && (signedInt || unsignedInt)));
  } else if (name.rfind("COLOR_", 0) == 0 || name.rfind("WEIGHTS_", 0) == 0) {
    ok = (type == TINYGLTF_TYPE_VEC4 || (name[0] == 'C' && type == TINYGLTF_TYPE_VEC3)) &&
         (isFloat || (unsignedInt && accessor.normalized));
  } else if (name.rfind("JOINTS_", 0) == 0) {
    ok = type == TINYGLTF_TYPE_VEC4 && unsignedInt;
  }
  if (!ok) error = at + ": accessor " + std::to_string(a) + " has a type " + name + " cannot have";
  return ok;
}

bool checkMeshes(const tinygltf::Model& model, std::string& error) {
  for (std::size_t m = 0; m < model.meshes.size(); ++m) {
    const auto& primitives = model.meshes[m].primitives;
    for (std::size_t p = 0; p < primitives.size(); ++p) {
      const tinygltf::Primitive& prim = primitives[p];
      const std::string where = "/meshes/" + std::to_string(m) + "/primitives/" + std::to_string(p);
      if (prim.attributes.count("POSITION") == 0) {
        error = where + "/attributes: no POSITION";
        return false;
      }
      std::size_t count = 0;
      bool first = true;
      for (const auto& [name, a] : prim.attributes) {
        const std::string at = where + "/attributes/" + name;
        if (!checkAttribute(model, name, a, at, error)) return false;
        const std::size_t n = model.accessors[static_cast<std::size_t>(a)].count;
        if (!first && n != count) {
          error = at + ": " + std::to_string(n) + " elements where the others have " +
                  std::to_string(count);
          return false;
        }
        count = n, first = false;
      }
      if (prim.indices >= 0) {
        if (!names(model.accessors, prim.indices, where + "/indices", "accessor", error))
          return false;
        const auto& accessor = model.accessors[static_cast<std::size_t>(prim.indices)];
        if (accessor.type != TINYGLTF_TYPE_SCALAR ||
            (accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
             accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
             accessor.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)) {
          error = where + "/indices: not a scalar of unsigned integers";
          return false;
        }
      }
      if (prim.mode < 0 || prim.mode > 6) {
        error = where + "/mode: " + std::to_string(prim.mode) + " is not a mode glTF knows";
        return false;
      }
      if (prim.material >= 0 &&
          !names(model.materials, prim.material, where + "/material", "material", error))
        return false;
    }
  }
  return true;
}

bool checkSkinsAndTextures(const tinygltf::Model& model, std::string& error) {
  for (std::size_t s = 0; s < model.skins.size(); ++s) {
    const tinygltf::Skin& skin = model.skins[s];
    const std::string where = "/skins/" + std::to_string(s);
    for (std::size_t j = 0; j < skin.joints.size(); ++j)
      if (!names(model.nodes, skin.joints[j], where + "/joints/" + std::to_string(j), "node",
                 error))
        return false;
    if (skin.inverseBindMatrices >= 0) {
      const std::string at = where + "/inverseBindMatrices";
      if (!names(model.accessors, skin.inverseBindMatrices, at, "accessor", error)) return false;
      const auto& a = model.accessors[static_cast<std::size_t>(skin.inverseBindMatrices)];
      if (a.type != TINYGLTF_TYPE_MAT4 || a.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT ||
          a.count < skin.joints.size()) {
        error = at + ": not a float MAT4 per joint";
        return false;
      }
    }
  }
  for (std::size_t i = 0; i < model.images.size(); ++i) {
    std::vector<std::uint8_t> bytes;
    if (model.images[i].bufferView >= 0 && !imageBytes(model, i, bytes, error)) return false;
  }
  for (std::size_t t = 0; t < model.textures.size(); ++t) {
    const int source = model.textures[t].source;
    if (source >= 0 &&
        !names(model.images, source, "/textures/" + std::to_string(t) + "/source", "image", error))
      return false;
  }
  for (std::size_t m = 0; m < model.materials.size(); ++m) {
    const int texture = model.materials[m].pbrMetallicRoughness.baseColorTexture.index;
    const std::string at =
        "/materials/" + std::to_string(m) + "/pbrMetallicRoughness/baseColorTexture/index";
    if (texture >= 0 && !names(model.textures, texture, at, "texture", error)) return false;
  }
  return true;
}

bool checkAnimations(const tinygltf::Model& model, std::string& error) {
  for (std::size_t a = 0; a < model.animations.size(); ++a) {
    const tinygltf::Animation& anim = model.animations[a];
    const std::string where = "/animations/" + std::to_string(a);
    for (std::size_t c = 0; c < anim.channels.size(); ++c) {
      const auto& channel = anim.channels[c];
      const std::string at = where + "/channels/" + std::to_string(c);
      if (!names(anim.samplers, channel.sampler, at + "/sampler", "sampler", error)) return false;
      if (channel.target_node >= 0 &&
          !names(model.nodes, channel.target_node, at + "/target/node", "node", error))
        return false;
    }
    for (std::size_t s = 0; s < anim.samplers.size(); ++s) {
      const auto& sampler = anim.samplers[s];
      const std::string at = where + "/samplers/" + std::to_string(s);
      if (!names(model.accessors, sampler.input, at + "/input", "accessor", error) ||
          !names(model.accessors, sampler.output, at + "/output", "accessor", error))
        return false;
      const auto& input = model.accessors[static_cast<std::size_t>(sampler.input)];
      const auto& output = model.accessors[static_cast<std::size_t>(sampler.output)];
      const std::size_t per = sampler.interpolation == "CUBICSPLINE" ? 3 : 1;
      if (input.type != TINYGLTF_TYPE_SCALAR ||
          input.componentType != TINYGLTF_COMPONENT_TYPE_FLOAT) {
        error = at + "/input: key times are float scalars";
        return false;
      }
      if (output.count < input.count * per) {
        error = at + "/output: " + std::to_string(output.count) + " values for " +
                std::to_string(input.count) + " key times";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool understood(const std::string& extension) {
  return extension == kMeshQuantization;
}

bool validate(const tinygltf::Model& model, std::string& error) {
  for (std::size_t e = 0; e < model.extensionsRequired.size(); ++e) {
    if (understood(model.extensionsRequired[e])) continue;
    error = "/extensionsRequired/" + std::to_string(e) + ": " + model.extensionsRequired[e] +
            " is required, and the import does not know it";
    return false;
  }
  for (std::size_t a = 0; a < model.accessors.size(); ++a)
    if (!checkAccessor(model, a, error)) return false;
  return checkNodes(model, error) && checkMeshes(model, error) &&
         checkSkinsAndTextures(model, error) && checkAnimations(model, error);
}

}  // namespace kxm::gltfin
