#include "cell/MeshReader.h"

#include <fmt/format.h>

#include <assimp/DefaultIOSystem.h>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <system_error>

namespace cell::detail {

namespace {

[[noreturn]] void Fail(const std::filesystem::path& file, std::string_view what)
{
    throw std::runtime_error(fmt::format("{}: {}", file.string(), what));
}

// Files a mesh refers to (materials, buffers, textures) are opened only
// when they are regular files, so that a reference to a FIFO or a device
// cannot block the load.
class RegularFileSystem : public Assimp::DefaultIOSystem
{
public:
    bool Exists(const char* path) const override
    {
        std::error_code error;
        return std::filesystem::is_regular_file(path, error);
    }

    Assimp::IOStream* Open(const char* path, const char* mode) override
    {
        if (!Exists(path))
            return nullptr;
        return DefaultIOSystem::Open(path, mode);
    }
};

struct Builder
{
    Geometry& geometry;
    const aiScene& scene;
    double scale;
    bool first = true;

    void grow(const Vec3d& v)
    {
        for (std::size_t i = 0; i < 3; ++i) {
            geometry.boundsMin[i] = first ? v[i] : std::min(geometry.boundsMin[i], v[i]);
            geometry.boundsMax[i] = first ? v[i] : std::max(geometry.boundsMax[i], v[i]);
        }
        first = false;
    }

    static Vec3d Cross(const Vec3d& a, const Vec3d& b)
    {
        return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    }

    void addMesh(const aiMesh& mesh, const aiMatrix4x4& transform, const aiNode& node)
    {
        const bool points = (mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0;
        aiMatrix3x3 normalMatrix(transform);
        normalMatrix.Inverse().Transpose();
        std::vector<Vec3d> placed(mesh.mNumVertices);
        for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
            const aiVector3D p = transform * mesh.mVertices[i];
            placed[i] = {p.x * scale, p.y * scale, p.z * scale};
            grow(placed[i]);
        }
        if (points) {
            for (const Vec3d& p : placed)
                geometry.points.insert(geometry.points.end(), {static_cast<float>(p[0]), static_cast<float>(p[1]),
                                                               static_cast<float>(p[2])});
            return;
        }
        Geometry::Face face;
        face.firstIndex = static_cast<std::uint32_t>(geometry.indices.size());
        const auto base = static_cast<std::uint32_t>(geometry.vertexCount());
        for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
            geometry.positions.insert(geometry.positions.end(), {static_cast<float>(placed[i][0]),
                                                                 static_cast<float>(placed[i][1]),
                                                                 static_cast<float>(placed[i][2])});
            aiVector3D n = mesh.mNormals ? normalMatrix * mesh.mNormals[i] : aiVector3D(0, 0, 1);
            const float length = n.Length();
            n = length > 0 && std::isfinite(length) ? n / length : aiVector3D(0, 0, 1);
            geometry.normals.insert(geometry.normals.end(), {n.x, n.y, n.z});
        }
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& triangle = mesh.mFaces[f];
            if (triangle.mNumIndices != 3)
                continue;
            const Vec3d& a = placed[triangle.mIndices[0]];
            const Vec3d& b = placed[triangle.mIndices[1]];
            const Vec3d& c = placed[triangle.mIndices[2]];
            const Vec3d n = Cross({b[0] - a[0], b[1] - a[1], b[2] - a[2]}, {c[0] - a[0], c[1] - a[1], c[2] - a[2]});
            face.area += std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
            const Vec3d bc = Cross(b, c);
            geometry.volume += (a[0] * bc[0] + a[1] * bc[1] + a[2] * bc[2]) / 6;
            for (unsigned k = 0; k < 3; ++k)
                geometry.indices.push_back(base + triangle.mIndices[k]);
        }
        face.indexCount = static_cast<std::uint32_t>(geometry.indices.size()) - face.firstIndex;
        face.part = static_cast<std::int32_t>(geometry.parts.size());
        geometry.parts.push_back({mesh.mName.length > 0 ? mesh.mName.C_Str() : node.mName.C_Str(), 0});
        if (mesh.mMaterialIndex < scene.mNumMaterials) {
            aiColor4D colour;
            const aiMaterial& material = *scene.mMaterials[mesh.mMaterialIndex];
            if (material.Get(AI_MATKEY_BASE_COLOR, colour) == aiReturn_SUCCESS ||
                material.Get(AI_MATKEY_COLOR_DIFFUSE, colour) == aiReturn_SUCCESS) {
                face.hasColour = true;
                face.colour = {colour.r, colour.g, colour.b, colour.a};
            }
        }
        geometry.faces.push_back(std::move(face));
    }

    // Depth-first, a node's own meshes before its children's; the depth
    // is bounded because a hostile file may nest nodes without end.
    void addNode(const aiNode& node, const aiMatrix4x4& parent, unsigned depth)
    {
        if (depth > 256)
            throw std::runtime_error("nodes nested more than 256 levels deep");
        const aiMatrix4x4 transform = parent * node.mTransformation;
        for (unsigned i = 0; i < node.mNumMeshes; ++i)
            if (node.mMeshes[i] < scene.mNumMeshes)
                addMesh(*scene.mMeshes[node.mMeshes[i]], transform, node);
        for (unsigned i = 0; i < node.mNumChildren; ++i)
            addNode(*node.mChildren[i], transform, depth + 1);
    }
};

// Checks every face's vertices and sets each mesh's primitive types from
// its faces (the readers' own may be wrong); says what is wrong, or "".
std::string MendMeshes(const aiScene& scene)
{
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        aiMesh* mesh = scene.mMeshes[m];
        if (mesh == nullptr)
            return fmt::format("mesh {} is missing", m);
        if (mesh->mNumFaces > 0 && mesh->mFaces == nullptr)
            return fmt::format("mesh {} has no faces to its count", m);
        unsigned types = 0;
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices == 0 || face.mIndices == nullptr)
                return fmt::format("mesh {} face {} has no vertices", m, f);
            for (unsigned i = 0; i < face.mNumIndices; ++i)
                if (face.mIndices[i] >= mesh->mNumVertices)
                    return fmt::format("mesh {} face {} names vertex {} of {}", m, f, face.mIndices[i],
                                       mesh->mNumVertices);
            types |= face.mNumIndices == 1   ? aiPrimitiveType_POINT
                     : face.mNumIndices == 2 ? aiPrimitiveType_LINE
                     : face.mNumIndices == 3 ? aiPrimitiveType_TRIANGLE
                                             : aiPrimitiveType_POLYGON;
        }
        if (types != 0)
            mesh->mPrimitiveTypes = types;
    }
    return {};
}

} // namespace

Geometry ReadMesh(const std::filesystem::path& file, std::string_view bytes, GeometryFormat format, double scale)
{
    Assimp::Importer importer;
    importer.SetIOHandler(new RegularFileSystem);
    // Lines and points go to meshes of their own, points kept for clouds.
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_LINE);
    // Read and validated first; the rest once the meshes are checked here.
    const unsigned readFlags = aiProcess_ValidateDataStructure;
    const unsigned flags =
        aiProcess_Triangulate | aiProcess_JoinIdenticalVertices | aiProcess_GenNormals | aiProcess_SortByPType;
    const std::string_view name = FormatName(format);
    std::string extension = file.extension().string();
    std::ranges::transform(extension, extension.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Read from the path when the extension says the format, so that files
    // beside it (materials, buffers) are found; else from memory with the
    // format as a hint.
    const aiScene* scene = extension == fmt::format(".{}", name)
                               ? importer.ReadFile(file.string(), readFlags)
                               : importer.ReadFileFromMemory(bytes.data(), bytes.size(), readFlags, std::string(name).c_str());
    if (scene == nullptr)
        Fail(file, fmt::format("cannot read the {} file: {}", name, importer.GetErrorString()));
    // Assimp's later steps abort the process on meshes its readers leave
    // inconsistent (a PLY face naming a vertex the file does not have gets
    // a polygon type with triangles only), so they get sound meshes only.
    if (const std::string fault = MendMeshes(*scene); !fault.empty())
        Fail(file, fmt::format("the {} file's {}", name, fault));
    scene = importer.ApplyPostProcessing(flags);
    if (scene == nullptr)
        Fail(file, fmt::format("cannot read the {} file: {}", name, importer.GetErrorString()));
    if (scene->mRootNode == nullptr)
        Fail(file, fmt::format("the {} file holds no scene", name));
    Geometry geometry;
    geometry.name = scene->mRootNode->mName.C_Str();
    Builder builder{geometry, *scene, scale};
    try {
        builder.addNode(*scene->mRootNode, aiMatrix4x4(), 0);
    } catch (const std::runtime_error& error) {
        Fail(file, error.what());
    }
    if (geometry.faces.empty() && geometry.points.empty())
        Fail(file, fmt::format("the {} file holds no triangles or points", name));
    geometry.volume = std::abs(geometry.volume);
    return geometry;
}

} // namespace cell::detail
