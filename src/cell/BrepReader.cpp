#include "cell/BrepReader.h"

#include <fmt/format.h>

#include <BRepAdaptor_Curve.hxx>
#include <BRepAdaptor_Surface.hxx>
#include <BRepLProp_SLProps.hxx>
#include <BRepGProp.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepTools.hxx>
#include <BRep_Builder.hxx>
#include <BRep_Tool.hxx>
#include <GCPnts_AbscissaPoint.hxx>
#include <Geom2d_Curve.hxx>
#include <GCPnts_TangentialDeflection.hxx>
#include <GProp_GProps.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <IGESCAFControl_Reader.hxx>
#include <Message.hxx>
#include <Message_Messenger.hxx>
#include <Message_PrinterOStream.hxx>
#include <OSD_Parallel.hxx>
#include <Poly_Triangulation.hxx>
#include <Quantity_ColorRGBA.hxx>
#include <Precision.hxx>
#include <gp_Pnt2d.hxx>
#include <STEPCAFControl_Reader.hxx>
#include <Standard_Failure.hxx>
#include <TDF_Label.hxx>
#include <TDF_LabelSequence.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp.hxx>
#include <TopExp_Explorer.hxx>
#include <TopTools_IndexedDataMapOfShapeListOfShape.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <XCAFPrs.hxx>
#include <XCAFPrs_IndexedDataMapOfShapeStyle.hxx>
#include <XCAFPrs_Style.hxx>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace cell::detail {

namespace {

[[noreturn]] void Fail(const std::filesystem::path& file, std::string_view what)
{
    throw std::runtime_error(fmt::format("{}: {}", file.string(), what));
}

// The translators share process-wide state (their parameters, the XDE
// application), so files are translated one at a time; tessellation and
// the rest run in parallel.
std::mutex& TranslatorMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The readers report through the default messenger, whose printer writes
// to standard output: that would corrupt sdftool's JSON.
void Silence()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Message::DefaultMessenger()->RemovePrinters(STANDARD_TYPE(Message_PrinterOStream));
    });
}

std::string NameOf(const TDF_Label& label)
{
    Handle(TDataStd_Name) name;
    if (label.IsNull() || !label.FindAttribute(TDataStd_Name::GetID(), name))
        return {};
    TCollection_AsciiString text(name->Get());
    return text.ToCString();
}

struct Translated
{
    TopoDS_Shape shape;
    std::string name;
    // Styles of sub-shapes (as located in shape) and solid names, when the
    // file has them.
    XCAFPrs_IndexedDataMapOfShapeStyle styles;
    std::vector<std::string> solidNames; // in TopExp::MapShapes order
};

template <class Reader>
Translated ReadWithNames(const std::filesystem::path& file, const char* formatName)
{
    Reader reader;
    reader.SetColorMode(true);
    reader.SetNameMode(true);
    reader.SetLayerMode(false);
    if constexpr (std::is_same_v<Reader, STEPCAFControl_Reader>) {
        // Validation properties, dimensions and tolerances, materials and
        // saved views are not used: not translating them saves time.
        reader.SetPropsMode(false);
        reader.SetGDTMode(false);
        reader.SetMatMode(false);
        reader.SetViewMode(false);
    }
    if (reader.ReadFile(file.c_str()) != IFSelect_RetDone)
        Fail(file, fmt::format("not a readable {} file", formatName));
    Translated out;
    Handle(XCAFApp_Application) application = XCAFApp_Application::GetApplication();
    Handle(TDocStd_Document) document;
    application->NewDocument("MDTV-XCAF", document);
    struct Closer
    {
        Handle(XCAFApp_Application) application;
        Handle(TDocStd_Document) document;
        ~Closer()
        {
            if (!document.IsNull() && document->IsOpened())
                application->Close(document);
        }
    } closer{application, document};
    if (!reader.Transfer(document))
        Fail(file, fmt::format("the {} file holds no shape that could be translated", formatName));
    const Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    TDF_LabelSequence free;
    shapes->GetFreeShapes(free);
    if (free.IsEmpty())
        Fail(file, fmt::format("the {} file holds no shape", formatName));
    if (free.Length() == 1) {
        out.shape = XCAFDoc_ShapeTool::GetShape(free.First());
    } else {
        TopoDS_Compound compound;
        BRep_Builder builder;
        builder.MakeCompound(compound);
        for (const TDF_Label& label : free)
            builder.Add(compound, XCAFDoc_ShapeTool::GetShape(label));
        out.shape = compound;
    }
    out.name = NameOf(free.First());
    for (const TDF_Label& label : free)
        XCAFPrs::CollectStyleSettings(label, TopLoc_Location(), out.styles);
    TopTools_IndexedMapOfShape solids;
    TopExp::MapShapes(out.shape, TopAbs_SOLID, solids);
    for (Standard_Integer i = 1; i <= solids.Extent(); ++i) {
        TDF_Label label;
        const bool found = shapes->FindShape(solids(i).Located(TopLoc_Location()), label);
        out.solidNames.push_back(found ? NameOf(label) : std::string());
    }
    return out;
}

Translated Translate(const std::filesystem::path& file, GeometryFormat format)
{
    const std::lock_guard lock(TranslatorMutex());
    Silence();
    if (format == GeometryFormat::Step)
        return ReadWithNames<STEPCAFControl_Reader>(file, "STEP");
    if (format == GeometryFormat::Iges)
        return ReadWithNames<IGESCAFControl_Reader>(file, "IGES");
    Translated out;
    BRep_Builder builder;
    if (!BRepTools::Read(out.shape, file.c_str(), builder))
        Fail(file, "not a readable BREP file");
    return out;
}

bool StyleColour(const XCAFPrs_IndexedDataMapOfShapeStyle& styles, const TopoDS_Shape& shape,
                 std::array<float, 4>& colour)
{
    const XCAFPrs_Style* style = styles.Seek(shape);
    if (style == nullptr || !style->IsSetColorSurf())
        return false;
    const Quantity_ColorRGBA& rgba = style->GetColorSurfRGBA();
    Standard_Real r = 0, g = 0, b = 0;
    // Colours in the file are sRGB; the view expects them as written.
    rgba.GetRGB().Values(r, g, b, Quantity_TOC_sRGB);
    colour = {static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), rgba.Alpha()};
    return true;
}

void Grow(Geometry& geometry, const gp_Pnt& p, bool& first)
{
    const Vec3d v{p.X(), p.Y(), p.Z()};
    for (std::size_t i = 0; i < 3; ++i) {
        geometry.boundsMin[i] = first ? v[i] : std::min(geometry.boundsMin[i], v[i]);
        geometry.boundsMax[i] = first ? v[i] : std::max(geometry.boundsMax[i], v[i]);
    }
    first = false;
}

void AddTriangles(Geometry& geometry, Geometry::Face& out, const TopoDS_Face& face, bool& first)
{
    TopLoc_Location location;
    Handle(Poly_Triangulation) triangulation = BRep_Tool::Triangulation(face, location);
    out.firstIndex = static_cast<std::uint32_t>(geometry.indices.size());
    if (triangulation.IsNull() || triangulation->NbTriangles() == 0)
        return;
    if (!triangulation->HasNormals())
        triangulation->ComputeNormals();
    const gp_Trsf transform = location.Transformation();
    const bool reversed = face.Orientation() == TopAbs_REVERSED;
    const auto base = static_cast<std::uint32_t>(geometry.vertexCount());
    for (Standard_Integer i = 1; i <= triangulation->NbNodes(); ++i) {
        const gp_Pnt p = triangulation->Node(i).Transformed(transform);
        Grow(geometry, p, first);
        geometry.positions.insert(geometry.positions.end(),
                                  {static_cast<float>(p.X()), static_cast<float>(p.Y()), static_cast<float>(p.Z())});
        gp_Dir n = triangulation->Normal(i).Transformed(transform);
        if (reversed)
            n.Reverse();
        geometry.normals.insert(geometry.normals.end(),
                                {static_cast<float>(n.X()), static_cast<float>(n.Y()), static_cast<float>(n.Z())});
    }
    for (Standard_Integer i = 1; i <= triangulation->NbTriangles(); ++i) {
        Standard_Integer a = 0, b = 0, c = 0;
        triangulation->Triangle(i).Get(a, b, c);
        if (reversed)
            std::swap(b, c);
        for (const Standard_Integer node : {a, b, c})
            geometry.indices.push_back(base + static_cast<std::uint32_t>(node - 1));
    }
    out.indexCount = static_cast<std::uint32_t>(geometry.indices.size()) - out.firstIndex;
}

// Where an edge is, for ordering: its point at half its length (the same
// whichever way the curve runs or is parametrised), then its length, on a
// grid of a micrometre so that a file written and read again sorts alike.
using EdgeKey = std::array<std::int64_t, 4>;

std::int64_t Grid(double value)
{
    return static_cast<std::int64_t>(std::llround(value * 1000));
}

struct ReadEdge
{
    Geometry::Edge edge;
    EdgeKey key{};
    std::vector<double> parameters; // of the points, along the curve's own direction
};

ReadEdge EdgeOf(const TopoDS_Edge& edge, const LoadOptions& options)
{
    ReadEdge out;
    if (BRep_Tool::Degenerated(edge)) {
        out.edge.degenerate = true;
        const gp_Pnt p = BRep_Tool::Pnt(TopExp::FirstVertex(edge));
        out.key = {Grid(p.X()), Grid(p.Y()), Grid(p.Z()), 0};
        return out;
    }
    BRepAdaptor_Curve curve(edge);
    out.edge.length = GCPnts_AbscissaPoint::Length(curve);
    GCPnts_AbscissaPoint half(curve, out.edge.length / 2, curve.FirstParameter());
    const gp_Pnt middle = curve.Value(half.IsDone() ? half.Parameter() : curve.FirstParameter());
    out.key = {Grid(middle.X()), Grid(middle.Y()), Grid(middle.Z()), Grid(out.edge.length)};
    GCPnts_TangentialDeflection points(curve, options.angularTolerance, options.chordTolerance);
    const bool reversed = edge.Orientation() == TopAbs_REVERSED;
    for (Standard_Integer i = 1; i <= points.NbPoints(); ++i) {
        const gp_Pnt p = points.Value(reversed ? points.NbPoints() + 1 - i : i);
        out.edge.points.push_back({p.X(), p.Y(), p.Z()});
        out.parameters.push_back(points.Parameter(i));
    }
    return out;
}

// The points of the edge (at the parameters its polyline has) in the
// direction the face runs it, with the face's outward normal from the
// surface at the edge's curve on it. Where the surface has no normal (a
// cone's apex) the neighbouring point's is taken.
Geometry::EdgeTrack TrackOf(const TopoDS_Face& face, const BRepAdaptor_Surface& surface, const TopoDS_Edge& edge,
                            const std::vector<double>& parameters)
{
    Geometry::EdgeTrack track;
    if (BRep_Tool::Degenerated(edge) || parameters.empty())
        return track;
    BRepAdaptor_Curve curve(edge);
    Standard_Real first = 0, last = 0;
    const Handle(Geom2d_Curve) onSurface = BRep_Tool::CurveOnSurface(edge, face, first, last);
    if (onSurface.IsNull())
        return track;
    BRepLProp_SLProps props(surface, 1, Precision::Confusion());
    const bool backwards = edge.Orientation() == TopAbs_REVERSED;
    const bool outwardFlipped = face.Orientation() == TopAbs_REVERSED;
    std::vector<bool> defined;
    for (std::size_t k = 0; k < parameters.size(); ++k) {
        const double u = parameters[backwards ? parameters.size() - 1 - k : k];
        gp_Pnt p;
        gp_Vec d;
        curve.D1(u, p, d);
        if (backwards)
            d.Reverse();
        track.points.push_back({p.X(), p.Y(), p.Z()});
        const double speed = d.Magnitude();
        track.tangents.push_back(speed > 0 ? Vec3d{d.X() / speed, d.Y() / speed, d.Z() / speed} : Vec3d{0, 0, 0});
        const gp_Pnt2d uv = onSurface->Value(u);
        props.SetParameters(uv.X(), uv.Y());
        Vec3d normal{0, 0, 0};
        const bool has = props.IsNormalDefined();
        if (has) {
            gp_Dir n = props.Normal();
            if (outwardFlipped)
                n.Reverse();
            normal = {n.X(), n.Y(), n.Z()};
        }
        track.normals.push_back(normal);
        defined.push_back(has);
    }
    // Fill the gaps from the nearest defined neighbour, forwards then back.
    for (std::size_t k = 1; k < defined.size(); ++k)
        if (!defined[k] && defined[k - 1]) {
            track.normals[k] = track.normals[k - 1];
            defined[k] = true;
        }
    for (std::size_t k = defined.size() - 1; k-- > 0;)
        if (!defined[k] && defined[k + 1]) {
            track.normals[k] = track.normals[k + 1];
            defined[k] = true;
        }
    if (!defined.front())
        return {}; // no normal anywhere along it
    return track;
}

Geometry Build(const std::filesystem::path& file, const Translated& translated, const LoadOptions& options)
{
    Geometry geometry;
    geometry.name = translated.name;
    TopTools_IndexedMapOfShape faces, edges, solids;
    TopExp::MapShapes(translated.shape, TopAbs_FACE, faces);
    TopExp::MapShapes(translated.shape, TopAbs_EDGE, edges);
    TopExp::MapShapes(translated.shape, TopAbs_SOLID, solids);
    if (faces.IsEmpty() && edges.IsEmpty())
        Fail(file, "the file holds no faces or edges");

    BRepMesh_IncrementalMesh mesher(translated.shape, options.chordTolerance, false, options.angularTolerance, true);

    TopTools_IndexedDataMapOfShapeListOfShape solidOfFace;
    TopExp::MapShapesAndAncestors(translated.shape, TopAbs_FACE, TopAbs_SOLID, solidOfFace);
    // Measuring exactly costs about as much as meshing (a large assembly:
    // a second or more), so solids, faces and edges are measured in
    // parallel, each on its own.
    const auto count = [](const TopTools_IndexedMapOfShape& map) { return static_cast<std::size_t>(map.Extent()); };
    std::vector<double> volumes(count(solids)), areas(count(faces));
    std::vector<ReadEdge> read(count(edges));
    OSD_Parallel::For(0, solids.Extent() + faces.Extent() + edges.Extent(), [&](Standard_Integer i) {
        GProp_GProps props;
        if (i < solids.Extent()) {
            BRepGProp::VolumeProperties(solids(i + 1), props);
            volumes[static_cast<std::size_t>(i)] = std::abs(props.Mass());
        } else if ((i -= solids.Extent()) < faces.Extent()) {
            BRepGProp::SurfaceProperties(faces(i + 1), props);
            areas[static_cast<std::size_t>(i)] = std::abs(props.Mass());
        } else {
            i -= faces.Extent();
            read[static_cast<std::size_t>(i)] = EdgeOf(TopoDS::Edge(edges(i + 1)), options);
        }
    });

    for (std::size_t i = 0; i < volumes.size(); ++i) {
        Geometry::Part part;
        if (i < translated.solidNames.size())
            part.name = translated.solidNames[i];
        part.volume = volumes[i];
        geometry.volume += part.volume;
        geometry.parts.push_back(std::move(part));
    }

    // Edges are numbered by first appearance: faces in order, each face's
    // edges sorted by place; edges on no face follow in the shape's order.
    constexpr std::uint32_t kUnnumbered = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> number(read.size(), kUnnumbered);
    std::vector<std::uint32_t> order; // body edge index -> index into read
    auto numberOf = [&](std::size_t i) {
        if (number[i] == kUnnumbered) {
            number[i] = static_cast<std::uint32_t>(order.size());
            order.push_back(static_cast<std::uint32_t>(i));
        }
        return number[i];
    };

    bool first = true;
    std::vector<std::vector<std::size_t>> faceEdgeOrder(count(faces));
    geometry.faces.reserve(static_cast<std::size_t>(faces.Extent()));
    for (Standard_Integer i = 1; i <= faces.Extent(); ++i) {
        const TopoDS_Face& face = TopoDS::Face(faces(i));
        Geometry::Face out;
        AddTriangles(geometry, out, face, first);
        out.area = areas[static_cast<std::size_t>(i - 1)];
        TopTools_IndexedMapOfShape faceEdges;
        TopExp::MapShapes(face, TopAbs_EDGE, faceEdges);
        std::vector<std::size_t> own;
        for (Standard_Integer e = 1; e <= faceEdges.Extent(); ++e)
            own.push_back(static_cast<std::size_t>(edges.FindIndex(faceEdges(e)) - 1));
        std::ranges::stable_sort(own, {}, [&](std::size_t e) { return read[e].key; });
        for (const std::size_t e : own)
            out.edges.push_back(numberOf(e));
        faceEdgeOrder[static_cast<std::size_t>(i - 1)] = std::move(own);
        const TopTools_ListOfShape* owners = solidOfFace.Seek(face);
        const TopoDS_Shape* solid = owners && !owners->IsEmpty() ? &owners->First() : nullptr;
        if (solid)
            out.part = solids.FindIndex(*solid) - 1;
        out.hasColour = StyleColour(translated.styles, face, out.colour) ||
                        (solid && StyleColour(translated.styles, *solid, out.colour)) ||
                        StyleColour(translated.styles, translated.shape, out.colour);
        geometry.faces.push_back(std::move(out));
    }
    // Each face's view of its edges, for path generation: normals cost a
    // surface evaluation a point, so faces are done in parallel.
    OSD_Parallel::For(0, faces.Extent(), [&](Standard_Integer i) {
        const TopoDS_Face& face = TopoDS::Face(faces(i + 1));
        // The surface once a face (bounding its parameters walks every
        // edge), and each edge as the face runs it: the orientation its
        // boundary gives it, the first where a seam runs both ways.
        const BRepAdaptor_Surface surface(face, false);
        std::unordered_map<std::size_t, TopoDS_Edge> oriented;
        for (TopExp_Explorer e(face, TopAbs_EDGE); e.More(); e.Next())
            oriented.try_emplace(static_cast<std::size_t>(edges.FindIndex(e.Current()) - 1), TopoDS::Edge(e.Current()));
        auto& out = geometry.faces[static_cast<std::size_t>(i)];
        for (const std::size_t e : faceEdgeOrder[static_cast<std::size_t>(i)])
            out.tracks.push_back(TrackOf(face, surface, oriented.at(e), read[e].parameters));
    });
    for (std::size_t i = 0; i < read.size(); ++i)
        numberOf(i);
    geometry.edges.reserve(read.size());
    for (const std::uint32_t i : order) {
        geometry.edges.push_back(std::move(read[i].edge));
        for (const Vec3d& p : geometry.edges.back().points)
            Grow(geometry, gp_Pnt(p[0], p[1], p[2]), first);
    }
    return geometry;
}

} // namespace

Geometry ReadBrep(const std::filesystem::path& file, GeometryFormat format, const LoadOptions& options)
{
    try {
        const Translated read = Translate(file, format);
        if (read.shape.IsNull())
            Fail(file, "the file holds no shape");
        return Build(file, read, options);
    } catch (const Standard_Failure& failure) {
        Fail(file, fmt::format("OpenCASCADE failed: {} {}", failure.DynamicType()->Name(),
                               failure.GetMessageString() ? failure.GetMessageString() : ""));
    }
}

} // namespace cell::detail
